#pragma once

#include <chrono>
#include <filesystem>
#include <functional>

#include "support/Text.h"

namespace ardenax {

// Appends debug lines to a per-day file, <documents>/TestCert/TestCert_<y><m><d>.txt
// (numbers without leading zeros), in Windows-1252 with CR LF line ends.
// Switched off when created; nothing in the voting flow writes to it.
class Logger {
public:
    using DateSource = std::function<std::chrono::year_month_day()>;

    explicit Logger(std::filesystem::path documentsDir, DateSource today = localToday);

    bool IsDebugEnabled() const { return debugEnabled_; }
    void setDebugEnabled(bool enable) { debugEnabled_ = enable; }
    // Today's log file. Creates the folder when nothing of its name exists;
    // raises a failure when that creation fails.
    Text getFileName() const;
    // Appends one line when switched on; never reports a failure.
    void writeDebug(const Text& strData) const;

    static std::chrono::year_month_day localToday();

private:
    std::filesystem::path documentsDir_;
    DateSource today_;
    bool debugEnabled_ = false;
};

}  // namespace ardenax
