#include "common/Settings.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "common/SystemDefaults.h"
#include "support/Failure.h"

namespace ardenax::app {
namespace {

// promotor-url -> ARDENAX_PROMOTOR_URL
std::string variableName(const std::string& flag) {
    std::string name = "ARDENAX_";
    for (const char c : flag) {
        name += c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name;
}

// A day: far above any wait a voter accepts, and far below what the clock's
// arithmetic (deadlines, libcurl's milliseconds) can hold without overflowing.
constexpr long long MaxSeconds = 86400;

// `name` says where the text came from: a flag or its variable.
std::chrono::seconds parseSeconds(const std::string& name, const std::string& text) {
    long long seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc{} || end != text.data() + text.size() || seconds <= 0 ||
        seconds > MaxSeconds) {
        throw Failure(Failure::InvalidProcedureCall,
                      fromUtf8(name + " wants a whole number of seconds from 1 to " +
                               std::to_string(MaxSeconds) + ", not \"" + text + "\""),
                      u"ardenax");
    }
    return std::chrono::seconds(seconds);
}

}  // namespace

const std::vector<std::string>& Settings::flagNames() {
    static const std::vector<std::string> names = {
        "promotor-url",  "smv-url",           "store-dir", "ca-file",
        "documents-dir", "connect-timeout-s", "timeout-s"};
    return names;
}

Settings::Settings(Variables variables) : variables_(std::move(variables)) {}

Settings Settings::fromProcess() {
    return Settings(processVariables());
}

bool Settings::set(const std::string& name, const std::string& value) {
    const auto& names = flagNames();
    if (std::find(names.begin(), names.end(), name) == names.end()) {
        return false;
    }
    if (name.ends_with("-s")) {
        parseSeconds("--" + name, value);
    }
    flags_[name] = value;
    return true;
}

std::string Settings::origin(const std::string& flag) const {
    return flags_.count(flag) != 0 ? "--" + flag : variableName(flag);
}

std::string Settings::value(const std::string& flag) const {
    if (const auto found = flags_.find(flag); found != flags_.end()) {
        return found->second;
    }
    if (const auto found = variables_.find(variableName(flag)); found != variables_.end()) {
        return found->second;
    }
    return {};
}

void Settings::checkCaFile() const {
    const auto file = value("ca-file");
    if (file.empty()) {
        return;
    }
    std::ifstream in(utf8Path(file), std::ios::binary);
    if (!in.is_open()) {
        throw Failure(Failure::InvalidProcedureCall,
                      fromUtf8("the CA file " + file + " cannot be read"), u"ardenax");
    }
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (content.find("-----BEGIN CERTIFICATE-----") == std::string::npos) {
        throw Failure(Failure::InvalidProcedureCall,
                      fromUtf8("the CA file " + file + " holds no PEM certificate"), u"ardenax");
    }
}

Environment Settings::environment(std::shared_ptr<MessageBox> messageBox) const {
    Environment env;
    env.messageBox = std::move(messageBox);
    const auto storeDir = value("store-dir");
    env.storeRoot = storeDir.empty() ? defaultStoreRoot(variables_) : utf8Path(storeDir);
    const auto documentsDir = value("documents-dir");
    env.documentsDir =
        documentsDir.empty() ? defaultDocumentsDir(variables_) : utf8Path(documentsDir);
    env.http.caFile = utf8Path(value("ca-file"));
    if (const auto seconds = value("connect-timeout-s"); !seconds.empty()) {
        env.http.connectTimeout = parseSeconds(origin("connect-timeout-s"), seconds);
    }
    if (const auto seconds = value("timeout-s"); !seconds.empty()) {
        env.http.requestTimeout = parseSeconds(origin("timeout-s"), seconds);
    }
    if (const auto url = value("promotor-url"); !url.empty()) {
        env.promotorUrl = fromUtf8(url);
    }
    if (const auto url = value("smv-url"); !url.empty()) {
        env.smvUrl = fromUtf8(url);
    }
    return env;
}

}  // namespace ardenax::app
