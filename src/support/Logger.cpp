#include "support/Logger.h"

#include <ctime>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>

#include "support/Failure.h"

namespace ardenax {
Logger::Logger(std::filesystem::path documentsDir, DateSource today)
    : documentsDir_(std::move(documentsDir)), today_(std::move(today)) {}

std::chrono::year_month_day Logger::localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::chrono::year{local.tm_year + 1900} /
           std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)} /
           std::chrono::day{static_cast<unsigned>(local.tm_mday)};
}

Text Logger::getFileName() const {
    const auto folder = documentsDir_ / "TestCert";
    std::error_code error;
    // A directory, or a plain file squatting on the name, is left alone.
    if (!std::filesystem::exists(std::filesystem::symlink_status(folder, error))) {
        if (!std::filesystem::create_directory(folder, error) && error) {
            throw Failure(Failure::PathNotFound, u"Path not found: " + fromUtf8(folder.string()));
        }
    }
    const auto date = today_();
    const auto name = "TestCert_" + std::to_string(static_cast<int>(date.year())) +
                      std::to_string(static_cast<unsigned>(date.month())) +
                      std::to_string(static_cast<unsigned>(date.day())) + ".txt";
    return fromUtf8((folder / name).string());
}

void Logger::writeDebug(const Text& strData) const {
    if (!debugEnabled_) {
        return;
    }
    try {
        std::ofstream file(toUtf8(getFileName()), std::ios::binary | std::ios::app);
        file << toAnsi(strData) << "\r\n";
    } catch (const std::exception&) {
        // The log is a debugging aid: failing to write it must not disturb anything.
    }
}

}  // namespace ardenax
