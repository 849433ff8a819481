// Writing the PC's registry for its layout: keys created as needed, the first failure kept and
// named, and a mode that rewrites only the values taken from one fact of machine.ini.
#pragma once

#include "platform/kit/kitregistry.h"
#include "platform/windows.h"
#include "platform/winreg.h"
#include "tools/machine/layout.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace kitmachine
{
inline const char *RootName(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE)
        return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER)
        return "HKEY_CURRENT_USER";
    if (root == HKEY_CLASSES_ROOT)
        return "HKEY_CLASSES_ROOT";
    return "HKEY_USERS";
}

// Writes keys and values, keeping the first failure. A writer that rewrites one fact writes only
// the values taken from it, into keys that exist, and makes no key.
class Writer
{
  public:
    explicit Writer(std::string &error, std::optional<Fact> only = std::nullopt) : error_(error), only_(only)
    {
    }

    void Fail(const std::string &what, LONG code)
    {
        if (error_.empty())
            error_ = what + " (error " + std::to_string(code) + ")";
    }
    bool Ok() const { return error_.empty(); }
    bool Writes(std::optional<Fact> about) const { return !only_ || about == only_; }
    bool MakesKeys() const { return !only_; }

    // One key, created when missing; its value setters chain. A value setter names the fact of
    // machine.ini the value repeats, if any.
    class Key
    {
      public:
        Key(Writer &writer, HKEY root, std::string path)
            : writer_(writer), root_(root), subKey_(std::move(path))
        {
            path_ = std::string(RootName(root)) + "\\" + subKey_;
            if (writer_.MakesKeys())
                Open();
        }
        ~Key()
        {
            if (key_)
                RegCloseKey(key_);
        }
        Key(const Key &) = delete;
        Key &operator=(const Key &) = delete;

        Key &Sz(const char *name, const std::string &value, std::optional<Fact> about = std::nullopt)
        {
            return Set(name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1), about);
        }
        Key &ExpandSz(const char *name, const std::string &value)
        {
            return Set(name, REG_EXPAND_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
        }
        Key &Default(const std::string &value, std::optional<Fact> about = std::nullopt)
        {
            return Sz("", value, about);
        }
        Key &Dword(const char *name, DWORD value) { return Set(name, REG_DWORD, &value, sizeof value); }
        Key &MultiSz(const char *name, std::initializer_list<std::string> strings)
        {
            return MultiSz(name, std::vector<std::string>(strings));
        }
        Key &MultiSz(const char *name, const std::vector<std::string> &strings)
        {
            std::string data;
            for (const std::string &s : strings)
                data += s + '\0';
            data += '\0';
            if (strings.size() == 0)
                data += '\0';
            return Set(name, REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size()));
        }
        Key &Binary(const char *name, std::initializer_list<BYTE> bytes)
        {
            return Binary(name, std::vector<BYTE>(bytes));
        }
        Key &Binary(const char *name, const std::vector<BYTE> &data)
        {
            return Set(name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
        }

      private:
        // Creates the key when laying out; opens it, when there, when rewriting one fact.
        void Open()
        {
            opened_ = true;
            LONG rc = writer_.MakesKeys()
                          ? RegCreateKeyExA(root_, subKey_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, &key_, nullptr)
                          : RegOpenKeyExA(root_, subKey_.c_str(), 0, KEY_SET_VALUE, &key_);
            if (rc == ERROR_SUCCESS)
                return;
            key_ = nullptr;
            if (writer_.MakesKeys() || rc != ERROR_FILE_NOT_FOUND)
                writer_.Fail(std::string(writer_.MakesKeys() ? "cannot create " : "cannot open ") + path_,
                             rc);
        }

        Key &Set(const char *name, DWORD type, const void *data, DWORD size,
                 std::optional<Fact> about = std::nullopt)
        {
            if (!writer_.Writes(about))
                return *this;
            if (!opened_)
                Open();
            if (!key_)
                return *this;
            LONG rc = RegSetValueExA(key_, name, 0, type, static_cast<const BYTE *>(data), size);
            if (rc != ERROR_SUCCESS)
                writer_.Fail("cannot write " + path_ + " \"" + name + "\"", rc);
            return *this;
        }

        Writer &writer_;
        HKEY root_;
        std::string subKey_, path_;
        bool opened_ = false;
        HKEY key_ = nullptr;
    };

  private:
    std::string &error_;
    std::optional<Fact> only_;
};

// Works as the system while it lives: keys right below HKEY_LOCAL_MACHINE, whoever the user is.
class SystemAccess
{
  public:
    SystemAccess() { kitreg::SetSystemAccess(true); }
    ~SystemAccess() { kitreg::SetSystemAccess(false); }
    SystemAccess(const SystemAccess &) = delete;
    SystemAccess &operator=(const SystemAccess &) = delete;
};

// Deletes a key of HKEY_LOCAL_MACHINE with everything below it; a missing key is no failure.
inline LONG DeleteTree(const std::string &path)
{
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        return rc;
    std::vector<std::string> subKeys;
    char name[256];
    for (DWORD i = 0, size = sizeof name;
         RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, size = sizeof name)
        subKeys.emplace_back(name, size);
    RegCloseKey(key);
    for (const std::string &subKey : subKeys)
        if ((rc = DeleteTree(path + "\\" + subKey)) != ERROR_SUCCESS)
            return rc;
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

// Deletes the keys, keeping the first failure in the writer.
inline void DeleteKeys(Writer &w, std::initializer_list<std::string> paths)
{
    for (const std::string &path : paths)
        if (LONG rc = DeleteTree(path); rc != ERROR_SUCCESS)
            w.Fail("cannot delete HKEY_LOCAL_MACHINE\\" + path, rc);
}
} // namespace kitmachine
