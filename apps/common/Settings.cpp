#include "common/Settings.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

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

bool isSetting(const std::string& name) {
    return name.starts_with("ARDENAX_");
}

// Why `file` is no CA file, or nullopt when it is one.
std::optional<std::string> caFileProblem(const std::string& file) {
    std::ifstream in(utf8Path(file), std::ios::binary);
    if (!in.is_open()) {
        return "the CA file " + file + " cannot be read";
    }
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (content.find("-----BEGIN CERTIFICATE-----") == std::string::npos) {
        return "the CA file " + file + " holds no PEM certificate";
    }
    return std::nullopt;
}

}  // namespace

const std::vector<std::string>& Settings::flagNames() {
    static const std::vector<std::string> names = {
        "promotor-url",  "smv-url",           "store-dir", "ca-file",
        "documents-dir", "connect-timeout-s", "timeout-s"};
    return names;
}

Settings::Settings(Variables variables, bool readsVariables) : variables_(std::move(variables)) {
    if (!readsVariables) {
        std::erase_if(variables_, [](const auto& entry) { return isSetting(entry.first); });
        return;
    }
    for (const auto* flag : {"connect-timeout-s", "timeout-s"}) {
        const auto name = variableName(flag);
        if (const auto found = variables_.find(name); found != variables_.end()) {
            try {
                parseSeconds(name, found->second);
            } catch (const Failure& failure) {
                ignore(name, toUtf8(failure.description()));
            }
        }
    }
    if (const auto file = variable("ARDENAX_CA_FILE"); !file.empty()) {
        if (const auto problem = caFileProblem(file)) {
            ignore("ARDENAX_CA_FILE", *problem);
        }
    }
}

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

std::string Settings::variable(const std::string& name) const {
    const auto found = variables_.find(name);
    return found != variables_.end() && isSetting(name) ? found->second : std::string();
}

void Settings::ignore(const std::string& name, const std::string& why) {
    if (variables_.erase(name) != 0) {
        ignored_.push_back(name + " is ignored: " + why);
    }
}

std::string Settings::value(const std::string& flag) const {
    if (const auto found = flags_.find(flag); found != flags_.end()) {
        return found->second;
    }
    return variable(variableName(flag));
}

void Settings::checkCaFile() const {
    const auto flag = flags_.find("ca-file");
    if (flag == flags_.end() || flag->second.empty()) {
        return;
    }
    if (const auto problem = caFileProblem(flag->second)) {
        throw Failure(Failure::InvalidProcedureCall, fromUtf8(*problem), u"ardenax");
    }
}

std::filesystem::path Settings::boardsFolder() const {
    return defaultDataRoot(variables_) / "boards";
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
        env.http.connectTimeout = parseSeconds("connect-timeout-s", seconds);
    }
    if (const auto seconds = value("timeout-s"); !seconds.empty()) {
        env.http.requestTimeout = parseSeconds("timeout-s", seconds);
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
