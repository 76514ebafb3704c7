#pragma once
// The system's values that the portable rules read (error codes, file
// attribute bits, limits), written out so that the rules compile and are
// tested on any machine. Each is pinned to the system's own (ERROR_*,
// FILE_ATTRIBUTE_*, ...) by a static_assert in platform/win32, beside the
// call whose answer the rule reads.
#include <cstddef>
#include <cstdint>

namespace norq {

inline constexpr std::uint32_t kFileAttributeHidden = 0x2;
inline constexpr std::uint32_t kFileAttributeSystem = 0x4;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;

// MAX_PATH, the terminating null included: the longest path every program takes.
inline constexpr std::size_t kMaxPath = 260;
// INFINITE, a wait without end.
inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFF;

inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorOutOfMemory = 14;
inline constexpr std::uint32_t kErrorInvalidDrive = 15;
inline constexpr std::uint32_t kErrorNoMoreFiles = 18;
inline constexpr std::uint32_t kErrorWriteProtect = 19;
inline constexpr std::uint32_t kErrorNotReady = 21;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorHandleDiskFull = 39;
inline constexpr std::uint32_t kErrorNotSupported = 50;
inline constexpr std::uint32_t kErrorBadNetPath = 53;
inline constexpr std::uint32_t kErrorFileExists = 80;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorCallNotImplemented = 120;
inline constexpr std::uint32_t kErrorInvalidName = 123;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorInternalError = 1359;
inline constexpr std::uint32_t kErrorNoSystemResources = 1450;
inline constexpr std::uint32_t kErrorInternetInvalidOption = 12009;
inline constexpr std::uint32_t kErrorInternetBadOptionLength = 12010;
inline constexpr std::uint32_t kErrorInternetIncorrectHandleType = 12018;

// How a request's connection fails, for the support log's category of a
// failure (platform/FailureCategory): WinINet's own codes, and the socket
// codes Wine's WinINet passes on unchanged.
inline constexpr std::uint32_t kErrorInternetTimeout = 12002;
inline constexpr std::uint32_t kErrorInternetNameNotResolved = 12007;
inline constexpr std::uint32_t kErrorInternetCannotConnect = 12029;
inline constexpr std::uint32_t kErrorInternetConnectionAborted = 12030;
inline constexpr std::uint32_t kErrorInternetConnectionReset = 12031;
inline constexpr std::uint32_t kErrorInternetSecCertDateInvalid = 12037;
inline constexpr std::uint32_t kErrorInternetSecCertCnInvalid = 12038;
inline constexpr std::uint32_t kErrorInternetClientAuthCertNeeded = 12044;
inline constexpr std::uint32_t kErrorInternetInvalidCa = 12045;
inline constexpr std::uint32_t kErrorInternetClientAuthNotSetup = 12046;
inline constexpr std::uint32_t kErrorInternetSecCertErrors = 12055;
inline constexpr std::uint32_t kErrorInternetSecCertNoRev = 12056;
inline constexpr std::uint32_t kErrorInternetSecCertRevFailed = 12057;
inline constexpr std::uint32_t kErrorInternetSecurityChannelError = 12157;
inline constexpr std::uint32_t kErrorInternetServerUnreachable = 12164;
inline constexpr std::uint32_t kErrorInternetProxyServerUnreachable = 12165;
inline constexpr std::uint32_t kErrorInternetSecInvalidCert = 12169;
inline constexpr std::uint32_t kErrorInternetSecCertRevoked = 12170;
inline constexpr std::uint32_t kWsaNetUnreachable = 10051;
inline constexpr std::uint32_t kWsaConnectionAborted = 10053;
inline constexpr std::uint32_t kWsaConnectionReset = 10054;
inline constexpr std::uint32_t kWsaTimedOut = 10060;
inline constexpr std::uint32_t kWsaConnectionRefused = 10061;
inline constexpr std::uint32_t kWsaHostUnreachable = 10065;
inline constexpr std::uint32_t kWsaHostNotFound = 11001;
inline constexpr std::uint32_t kWsaTryAgain = 11002;
inline constexpr std::uint32_t kWsaNoData = 11004;

}  // namespace norq
