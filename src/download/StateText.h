#pragma once
#include <cstdint>

namespace norq {

// The fixed transfer line of a transfer state; nullptr for the states that
// have none: 8 (joined with the entry's name), 12 (the completion) and any other.
const wchar_t* StateText(std::int16_t state);

inline constexpr wchar_t kDownloadingPrefix[] = L"正在下载...";
inline constexpr wchar_t kCompletedText[] = L"请求已经完成，并且所有数据均已接收到";

}  // namespace norq
