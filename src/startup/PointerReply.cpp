#include "startup/PointerReply.h"

namespace norq {

std::wstring PrimaryPointerUrl() { return std::wstring(L"http://") + NORQ_PRIMARY_HOST + L"/quindle_www.html"; }
std::wstring SecondaryPointerUrl() { return std::wstring(L"http://") + NORQ_SECONDARY_HOST + L"/brisel_www.html"; }

const wchar_t* RefusalOf(const std::wstring& reply) {
  if (reply.size() <= 15) return L"refused: 15 characters or fewer";
  if (reply.size() >= 50) return L"refused: 50 characters or more";
  if (reply.find(L'|') != std::wstring::npos) return L"refused: it holds \"|\"";
  return nullptr;
}

bool IsAcceptedReply(const std::wstring& reply) { return RefusalOf(reply) == nullptr; }

}  // namespace norq
