#include "common/Settings.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "support/Failure.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

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

std::chrono::seconds parseSeconds(const std::string& flag, const std::string& text) {
    long long seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc{} || end != text.data() + text.size() || seconds <= 0) {
        throw Failure(Failure::InvalidProcedureCall,
                      fromUtf8("--" + flag + " wants a whole number of seconds above 0, not \"" +
                               text + "\""),
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
    Variables variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const auto equals = text.find('=');
        if (equals != std::string::npos) {
            variables.emplace(text.substr(0, equals), text.substr(equals + 1));
        }
    }
    return Settings(std::move(variables));
}

bool Settings::set(const std::string& name, const std::string& value) {
    const auto& names = flagNames();
    if (std::find(names.begin(), names.end(), name) == names.end()) {
        return false;
    }
    if (name.ends_with("-s")) {
        parseSeconds(name, value);
    }
    flags_[name] = value;
    return true;
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

std::string Settings::variable(const std::string& name) const {
    const auto found = variables_.find(name);
    return found == variables_.end() ? std::string() : found->second;
}

std::filesystem::path Settings::userFolder(const std::string& xdgVariable,
                                           const std::filesystem::path& belowHome) const {
    if (const auto xdg = variable(xdgVariable); !xdg.empty()) {
        return xdg;
    }
    const auto home = variable("HOME");
    return (home.empty() ? std::filesystem::path(".") : std::filesystem::path(home)) / belowHome;
}

void Settings::checkCaFile() const {
    const auto file = value("ca-file");
    if (file.empty()) {
        return;
    }
    std::ifstream in(file, std::ios::binary);
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
    env.storeRoot = storeDir.empty()
                        ? userFolder("XDG_DATA_HOME", std::filesystem::path(".local") / "share") /
                              "ardenax" / "stores"
                        : std::filesystem::path(storeDir);
    const auto documentsDir = value("documents-dir");
    env.documentsDir = documentsDir.empty() ? userFolder("XDG_DOCUMENTS_DIR", "Documents")
                                            : std::filesystem::path(documentsDir);
    env.http.caFile = value("ca-file");
    if (const auto seconds = value("connect-timeout-s"); !seconds.empty()) {
        env.http.connectTimeout = parseSeconds("connect-timeout-s", seconds);
    }
    if (const auto seconds = value("timeout-s"); !seconds.empty()) {
        env.http.totalTimeout = parseSeconds("timeout-s", seconds);
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
