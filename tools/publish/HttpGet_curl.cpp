// libcurl, as a client that asks like a browser (it offers compression, so a
// server that would compress shows it) and follows redirects one by one, so
// that each target is seen.
#include <curl/curl.h>

#include <memory>

#include "tools/publish/HttpGet.h"

namespace norq::publish {

namespace {

// Like the installer: a bound on connecting and on a stall, none on a whole body.
constexpr long kConnectSeconds = 30;
constexpr long kStallSeconds = 30;
constexpr int kMaxRedirects = 5;

struct Answer {
  CURL* easy;
  ServedReply* reply;
  const std::function<void(std::string_view)>* body;
};

bool IsRedirect(long status) { return status >= 300 && status < 400; }

std::size_t OnHeader(char* data, std::size_t, std::size_t size, void* context) {
  auto* answer = static_cast<Answer*>(context);
  TakeHeaderLine(*answer->reply, std::string_view(data, size));
  return size;
}

std::size_t OnBody(char* data, std::size_t, std::size_t size, void* context) {
  auto* answer = static_cast<Answer*>(context);
  if (IsRedirect(answer->reply->status)) return size;  // a redirect's own page
  answer->reply->received += size;
  (*answer->body)(std::string_view(data, size));
  return size;
}

class CurlGet final : public HttpGet {
 public:
  CurlGet() {
    accept_.reset(curl_slist_append(nullptr, "Accept-Encoding: gzip, deflate, br"));
  }

  ServedReply Get(const std::string& address, const std::string& range,
                  const std::function<void(std::string_view)>& body) override {
    ServedReply reply;
    reply.addresses.push_back(address);
    if (!easy_ || !accept_) {
      reply.error = "libcurl could not be set up";
      return reply;
    }
    CURL* easy = easy_.get();
    Answer answer{easy, &reply, &body};
    char error[CURL_ERROR_SIZE] = {};
    for (int redirects = 0;; ++redirects) {
      curl_easy_reset(easy);
      reply.received = 0;
      curl_easy_setopt(easy, CURLOPT_URL, reply.addresses.back().c_str());
      curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
      curl_easy_setopt(easy, CURLOPT_USERAGENT, "norq-publish/" NORQ_VERSION);
      curl_easy_setopt(easy, CURLOPT_HTTPHEADER, accept_.get());
      curl_easy_setopt(easy, CURLOPT_RANGE, range.empty() ? nullptr : range.c_str());
      curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
      curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
      curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
      curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
      curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
      curl_easy_setopt(easy, CURLOPT_HEADERDATA, &answer);
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, &answer);
      if (const CURLcode code = curl_easy_perform(easy); code != CURLE_OK) {
        reply.error = error[0] ? error : curl_easy_strerror(code);
        return reply;
      }
      curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply.status);
      char* target = nullptr;
      curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &target);
      if (!IsRedirect(reply.status) || !target) return reply;
      if (redirects == kMaxRedirects) {
        reply.error = "more than " + std::to_string(kMaxRedirects) + " redirects";
        return reply;
      }
      reply.addresses.emplace_back(target);
    }
  }

 private:
  // Set up before any handle and cleaned up after the last (members end in reverse order).
  struct Library {
    Library() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~Library() { curl_global_cleanup(); }
  } library_;
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy_{curl_easy_init(), &curl_easy_cleanup};
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> accept_{nullptr, &curl_slist_free_all};
};

}  // namespace

std::unique_ptr<HttpGet> MakeHttpGet() { return std::make_unique<CurlGet>(); }

}  // namespace norq::publish
