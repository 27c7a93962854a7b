#pragma once

#include <QString>
#include <QtGlobal>

// The zantrel-cli whose address space a test may limit (prlimit --as): the one under test, unless
// this build uses AddressSanitizer, which reserves terabytes of address space as it starts and so
// cannot run under such a limit; then the Release build ./test makes for the package, named by
// ZANTREL_UNSANITIZED_CLI. Empty when there is none (callers say so with REQUIRE_JUDGE).
inline QString AddressLimitableCli()
{
#if defined(__SANITIZE_ADDRESS__)
    return qEnvironmentVariable("ZANTREL_UNSANITIZED_CLI");
#else
    return QStringLiteral(ZANTREL_CLI);
#endif
}
