#include "tools/routersim/Router.h"
#include "tools/text/ToolText.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <sys/time.h>

namespace routersim
{
bool ParseFaults(std::string_view list, Faults &faults, std::string &error)
{
    Faults parsed;
    parsed.delay = faults.delay;
    for (std::string_view word : tooltext::Split(list, ','))
    {
        word = tooltext::Trim(word, tooltext::kSpaces);
        if (word.empty() || word == "none")
            continue;
        bool *flag = word == "refuse-login"             ? &parsed.refuseLogin
                     : word == "drop-control"           ? &parsed.dropControl
                     : word == "drop-data"              ? &parsed.dropData
                     : word == "slow"                   ? &parsed.slow
                     : word == "garbage"                ? &parsed.garbage
                     : word == "silent"                 ? &parsed.silent
                     : word == "no-data"                ? &parsed.noData
                     : word == "firmware-no-data"       ? &parsed.firmwareNoData
                     : word == "firmware-drop-data"     ? &parsed.firmwareDropData
                     : word == "console-silent"         ? &parsed.console.silent
                     : word == "console-no-password"    ? &parsed.console.noPassword
                     : word == "console-wrong-password" ? &parsed.console.wrongPassword
                     : word == "console-garbage"        ? &parsed.console.garbage
                     : word == "console-drop"           ? &parsed.console.drop
                     : word == "console-dhcp-none"      ? &parsed.console.dhcpNone
                                                        : nullptr;
        if (!flag)
        {
            error = std::string(word);
            return false;
        }
        *flag = true;
    }
    faults = parsed;
    return true;
}

Router::Router(std::string stateDir) : dir_(std::move(stateDir)), ini_(dir_ + "/routersim.ini", dir_) {}

bool Router::Load(const std::string &codesPath, std::string &error)
{
    if (!codes_.Load(codesPath, &error))
    {
        error = codesPath + ": " + error;
        return false;
    }
    std::lock_guard guard(lock_);
    for (const routerformat::Code &code : codes_.Codes())
        values_[code.code] = code.defaultValue;
    std::ifstream in(dir_ + "/settings.txt", std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        if (std::optional<routerformat::Setting> setting = routerformat::ParseLine(line))
            if (const routerformat::Code *code = codes_.Find(setting->code);
                code && routerformat::ValueFits(*code, setting->value))
                values_[setting->code] = setting->value;
    return true;
}

bool Router::Save() const
{
    std::lock_guard guard(lock_);
    return SaveSettings();
}

std::string Router::Ini(const char *section, const char *key, const char *fallback) const
{
    return ini_.Get(section, key, fallback);
}

bool Router::SetIni(const char *section, const char *key, const std::string &value) const
{
    return ini_.Set(section, key, value);
}

namespace
{
constexpr int kSystemPassword = 23000001;
}

std::string Router::Password() const
{
    {
        std::lock_guard guard(lock_);
        const auto it = values_.find(kSystemPassword);
        if (it != values_.end() && !it->second.empty())
            return it->second;
    }
    return Ini("Router", "Password", "5807");
}

bool Router::SetValue(int code, const std::string &value)
{
    std::lock_guard guard(lock_);
    const routerformat::Code *known = codes_.Find(code);
    if (!known || !routerformat::ValueFits(*known, value))
        return false;
    values_[code] = value;
    return SaveSettings();
}

std::string Router::Value(int code) const
{
    std::lock_guard guard(lock_);
    const auto it = values_.find(code);
    return it == values_.end() ? std::string() : it->second;
}

int Router::RestartSeconds() const
{
    return ini_.GetInt("Router", "RestartSeconds", 3);
}

Faults Router::CurrentFaults() const
{
    Faults faults;
    faults.delay = ini_.GetInt("Faults", "Delay", 2000);
    std::string error;
    if (!ParseFaults(Ini("Faults", "Fault", ""), faults, error))
        Log("unknown fault ignored: " + error);
    return faults;
}

std::string Router::ConfigText() const
{
    std::lock_guard guard(lock_);
    std::string text;
    for (const routerformat::Code &code : codes_.Codes())
        text += routerformat::FormatLine(code.code, values_.at(code.code));
    return text;
}

Router::Applied Router::ApplyConfig(std::string_view text)
{
    Applied applied;
    std::lock_guard guard(lock_);
    for (const std::string_view line : tooltext::Split(text, '\n'))
    {
        std::optional<routerformat::Setting> setting = routerformat::ParseLine(line);
        const routerformat::Code *code = setting ? codes_.Find(setting->code) : nullptr;
        if (!code)
        {
            applied.ignored += line.find_first_not_of(" \t\r") != std::string_view::npos;
            continue;
        }
        if (!routerformat::ValueFits(*code, setting->value))
        {
            ++applied.refused;
            continue;
        }
        values_[code->code] = setting->value;
        ++applied.taken;
    }
    applied.kept = SaveSettings();
    return applied;
}

bool Router::SaveSettings() const
{
    std::string text;
    for (const routerformat::Code &code : codes_.Codes())
        text += routerformat::FormatLine(code.code, values_.at(code.code));
    const std::string path = dir_ + "/settings.txt";
    {
        std::ofstream out(path + ".new", std::ios::binary | std::ios::trunc);
        if (!(out << text) || !out.flush())
            return false;
    }
    return std::rename((path + ".new").c_str(), path.c_str()) == 0;
}

bool Router::KeepFirmware(size_t size)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    if (!SetIni("Firmware", "Size", std::to_string(size)) || !SetIni("Firmware", "Received", when))
        return false;
    if (Ini("Router", "FirmwareSettings", "keep") != "factory")
        return true;
    {
        std::lock_guard guard(lock_);
        for (const routerformat::Code &code : codes_.Codes())
            values_[code.code] = code.defaultValue;
        if (!SaveSettings())
            return false;
    }
    Log("the new firmware brought the factory settings back");
    return true;
}

void Router::Log(const std::string &line) const
{
    timeval now{};
    ::gettimeofday(&now, nullptr);
    std::tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d ", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(now.tv_usec / 1000));
    std::lock_guard guard(lock_);
    std::ofstream(dir_ + "/routersim.log", std::ios::app) << stamp << line << "\n";
}
} // namespace routersim

namespace routersim
{
void Router::Announce(const std::string &line) const
{
    Log(line);
    if (foreground_)
    {
        std::printf("routersim: %s\n", line.c_str());
        std::fflush(stdout);
    }
}
} // namespace routersim
