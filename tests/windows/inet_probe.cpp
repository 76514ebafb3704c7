// Drives the real transfer component from a console, for checks under Wine
// against tests/e2e/scripted_server.py. Prints every event with its time.
//
//   inet_probe exec URL [OUT]    Execute; after 12 the body is read with
//                                GetChunk(1024) into OUT
//   inet_probe chain URL URL2    Execute URL2 from inside the 12 (or 11) of URL
//   inet_probe replace URL URL2  Execute URL2 while URL still runs
//   inet_probe open URL          OpenURL; counts the timer ticks it let through
//   inet_probe quit URL          OpenURL with a WM_QUIT waiting in the queue
//   inet_probe drop URL MS       destroy the component MS ms into a download
// "<CRLF>" in URL is replaced by a carriage return and a line feed.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/win32/WinInetTransfer.h"

namespace {

ULONGLONG started = ::GetTickCount64();

// Timer ticks dispatched while OpenURL waits: proof that the window keeps painting.
int ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++ticks; }

unsigned long long Elapsed() { return ::GetTickCount64() - started; }

void ReportMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) {
    std::printf("peak working set %llu KiB\n", static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024));
  }
}

// Runs the queue until the component reports an end; counts BytesReceived.
struct Watch {
  unsigned long long progressEvents = 0;
  std::uint64_t lastReceived = 0;
  int ends = 0;
  int afterEnd = 0;

  void Attach(norq::win32::WinInetTransfer& inet, const wchar_t* label) {
    inet.StateChanged = [this, &inet, label](std::int16_t state) {
      if (ends > 0) ++afterEnd;
      std::printf("%6llu ms %ls state %d\n", Elapsed(), label, state);
      if (state == norq::icError) std::printf("          failure: %ls\n", inet.LastFailure().c_str());
      if (state == norq::icError || state == norq::icResponseCompleted) ++ends;
    };
    inet.BytesReceived = [this](std::uint64_t received, std::uint64_t declared) {
      if (progressEvents++ < 3 || received == declared) {
        std::printf("%6llu ms bytes %llu / %llu\n", Elapsed(), static_cast<unsigned long long>(received),
                    static_cast<unsigned long long>(declared));
      }
      lastReceived = received;
    };
  }
};

void Pump(const int& ends, int wanted) {
  MSG message;
  while (ends < wanted && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  // Late messages of a finished request must not surface: run the queue a little longer.
  const ULONGLONG until = ::GetTickCount64() + 300;
  while (::GetTickCount64() < until) {
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    ::Sleep(10);
  }
}

void SaveBody(norq::win32::WinInetTransfer& inet, const wchar_t* path) {
  std::printf("Content-Length header: \"%ls\"\n", inet.GetHeader(L"content-LENGTH").c_str());
  std::printf("X-Probe header: \"%ls\"; absent header: \"%ls\"\n", inet.GetHeader(L"x-probe").c_str(),
              inet.GetHeader(L"X-Nothing").c_str());
  FILE* out = path ? _wfopen(path, L"wb") : nullptr;
  unsigned long long total = 0, pieces = 0;
  const ULONGLONG from = ::GetTickCount64();
  for (auto piece = inet.GetChunk(1024); !piece.empty(); piece = inet.GetChunk(1024)) {
    if (out) std::fwrite(piece.data(), 1, piece.size(), out);
    total += piece.size();
    ++pieces;
  }
  if (out) std::fclose(out);
  std::printf("GetChunk: %llu bytes in %llu pieces, %llu ms; again: %zu bytes\n", total, pieces,
              ::GetTickCount64() - from, inet.GetChunk(1024).size());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf("usage: inet_probe exec|chain|open|quit|drop URL [more]\n");
    return 2;
  }
  const std::wstring mode = argv[1];
  // "<CRLF>" in an address stands for the line break a pointer page leaves on it.
  std::wstring url = argv[2];
  for (std::size_t at; (at = url.find(L"<CRLF>")) != std::wstring::npos;) url.replace(at, 6, L"\r\n");
  auto inet = std::make_unique<norq::win32::WinInetTransfer>();
  Watch watch;
  watch.Attach(*inet, L"");

  if (mode == L"exec") {
    inet->Execute(url, L"GET");
    std::printf("%6llu ms Execute returned\n", Elapsed());
    Pump(watch.ends, 1);
    std::printf("progress events %llu, last %llu, events after the end %d\n", watch.progressEvents,
                static_cast<unsigned long long>(watch.lastReceived), watch.afterEnd);
    SaveBody(*inet, argc > 3 ? argv[3] : nullptr);
  } else if (mode == L"chain" && argc > 3) {
    const std::wstring second = argv[3];
    int ends = 0;
    auto* raw = inet.get();
    inet->StateChanged = [&, raw](std::int16_t state) {
      std::printf("%6llu ms state %d (request %d)\n", Elapsed(), state, ends + 1);
      if (state != norq::icError && state != norq::icResponseCompleted) return;
      if (state == norq::icResponseCompleted) SaveBody(*raw, nullptr);
      if (++ends == 1) raw->Execute(second, L"GET");  // the next download starts here, as the installer does
    };
    inet->Execute(url, L"GET");
    Pump(ends, 2);
    std::printf("ends %d\n", ends);
    if (ends == 2) SaveBody(*inet, nullptr);
  } else if (mode == L"replace" && argc > 3) {
    inet->Execute(url, L"GET");
    const ULONGLONG until = ::GetTickCount64() + 300;
    MSG message;
    while (::GetTickCount64() < until) {
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
      ::Sleep(10);
    }
    std::printf("%6llu ms second Execute\n", Elapsed());
    inet->Execute(argv[3], L"GET");
    Pump(watch.ends, 1);
    std::printf("ends %d, events after the end %d\n", watch.ends, watch.afterEnd);
    SaveBody(*inet, nullptr);
  } else if (mode == L"open" || mode == L"quit") {
    if (mode == L"quit") ::PostQuitMessage(7);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, CountTick);
    const ULONGLONG from = ::GetTickCount64();
    const std::wstring text = inet->OpenURL(url);
    const ULONGLONG took = ::GetTickCount64() - from;
    ::KillTimer(nullptr, timer);
    std::printf("OpenURL after %llu ms, %d timer ticks dispatched meanwhile: %zu chars \"%ls\"\n", took, ticks,
                text.size(), text.substr(0, 60).c_str());
    if (mode == L"quit") {
      MSG message;
      const BOOL got = ::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
      std::printf("WM_QUIT re-posted: %s (exit code %d)\n", got ? "yes" : "no", got ? static_cast<int>(message.wParam) : -1);
    }
  } else if (mode == L"drop" && argc > 3) {
    inet->Execute(url, L"GET");
    ::Sleep(static_cast<DWORD>(_wtoi(argv[3])));
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    const ULONGLONG from = ::GetTickCount64();
    inet.reset();
    std::printf("destroyed in %llu ms; waiting to see the worker end quietly\n", ::GetTickCount64() - from);
    ::Sleep(4000);
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    std::printf("still alive\n");
  } else {
    std::printf("unknown mode\n");
    return 2;
  }
  ReportMemory();
  return 0;
}
