// The registry hive of one simulated PC: an SQLite database (registry.db) holding keys and
// values. Every public method is one whole operation under the hive's lock, and every change is
// one committed transaction, so threads and processes see either all of it or none.
#pragma once

#include "platform/windows.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace plat::reg
{
using KeyId = int64_t;

// The two real roots of the hive; every other key hangs below one of them.
constexpr KeyId kMachineRoot = 1; // HKEY_LOCAL_MACHINE
constexpr KeyId kUsersRoot = 2;   // HKEY_USERS

// NT's tree is 512 levels deep counted from its very top, \REGISTRY and \MACHINE (or \USER)
// included, so a key may lie at most 510 levels below HKEY_LOCAL_MACHINE or HKEY_USERS (509
// below HKEY_CURRENT_USER). Creating a deeper key fails with ERROR_INVALID_PARAMETER.
constexpr int kMaxKeyDepth = 510;

// What an opened key needs to know about itself.
struct KeyRef
{
    KeyId id = 0;
    // The hive area the key belongs to: HKLM's id for the machine, or the id of the HKU\<name>
    // key holding it. Security decisions are per area.
    KeyId area = 0;
    bool isVolatile = false;
    bool isProtected = false; // a root, or a key a predefined handle stands for: never deleted
    int depth = 0;            // levels below its root (HKEY_LOCAL_MACHINE or HKEY_USERS)
};

struct CreateOptions
{
    bool isVolatile = false;
    std::string className;
    // Asked once, with the parent of the first key to create: ERROR_SUCCESS or the refusal.
    std::function<LONG(const KeyRef &parent)> allowCreate;
};

struct SubKeyEntry
{
    std::string name;
    std::string className;
    int64_t lastWrite = 0; // FILETIME ticks
};

struct ValueEntry
{
    std::string name;
    DWORD type = REG_NONE;
    std::string data;
};

// RegQueryInfoKey's figures. The maxima are kept as NT keeps them: they grow with the longest
// name or data ever stored and fall back to zero only when the key has no subkeys (values) left.
struct KeyStats
{
    std::string className;
    DWORD subKeys = 0;
    DWORD maxSubKeyLen = 0;
    DWORD maxClassLen = 0;
    DWORD values = 0;
    DWORD maxValueNameLen = 0;
    DWORD maxValueLen = 0;
    int64_t lastWrite = 0;
};

// Receives a value's type and bytes while they are still in the database's buffer.
using ValueSink = std::function<void(DWORD type, const BYTE *data, DWORD size)>;

class Hive
{
  public:
    // Opens (creating on first use) the hive at `path`; nullptr with `error` set on failure.
    static std::shared_ptr<Hive> Open(const std::string &path, LONG &error);
    ~Hive();
    Hive(const Hive &) = delete;
    Hive &operator=(const Hive &) = delete;

    const std::string &Path() const { return path_; }

    // The key at `components` below `from`; ERROR_FILE_NOT_FOUND, or ERROR_KEY_DELETED when
    // `from` itself is gone.
    LONG Find(const KeyRef &from, const std::vector<std::string> &components, KeyRef &out);
    // Opens or creates the key; creates missing intermediate keys with the same options.
    // `created` tells whether the key asked for is new. A key below kMaxKeyDepth is refused
    // (ERROR_INVALID_PARAMETER) and nothing is created.
    LONG Create(const KeyRef &from, const std::vector<std::string> &components, const CreateOptions &options,
                KeyRef &out, bool &created);
    // The key at an absolute path below a root, created (and protected from deletion) when
    // missing: the targets of HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG and HKEY_CURRENT_USER.
    LONG Anchor(KeyId root, const std::vector<std::string> &components, KeyRef &out);
    LONG Exists(KeyId id);

    LONG QueryValue(KeyId key, std::string_view name, const ValueSink &sink);
    LONG SetValue(KeyId key, std::string_view name, DWORD type, const BYTE *data, DWORD size);
    LONG DeleteValue(KeyId key, std::string_view name);
    // Deletes the key; with `subtree` false a key that has subkeys is refused (ERROR_ACCESS_DENIED).
    LONG DeleteKey(KeyId key, bool subtree);
    // The index-th subkey (by folded name) and value (by creation order). Asking for the item
    // after the last one asked for in the same key costs one index step, not `index` of them.
    LONG EnumKey(KeyId key, DWORD index, SubKeyEntry &out);
    LONG EnumValue(KeyId key, DWORD index, ValueEntry &out);
    LONG QueryInfo(KeyId key, KeyStats &out);
    LONG Flush(KeyId key);

    // Drops every volatile key (and its subtree), as a restart does.
    LONG DropVolatileKeys();
    // PRAGMA integrity_check plus the tree's own rules (no orphans, no value without its key).
    LONG Check(std::string &problem);

  private:
    class Statement;
    class Transaction;
    explicit Hive(std::string path);

    // Where the last enumeration of a key stopped: its index and the ordering column of the item
    // found there (the subkey's folded name, the value's sequence number). Kept only while
    // nothing has changed the hive since it was read, so it always agrees with an OFFSET count.
    struct KeyPosition
    {
        DWORD index;
        std::string fold;
    };
    struct ValuePosition
    {
        DWORD index;
        int64_t seq;
    };
    // Forgets every position: this connection is about to change the hive.
    void ForgetPositions();
    // Forgets them when another connection committed since they were taken; inside the read
    // transaction the enumeration runs in, so the check and the read see the same hive.
    LONG CheckPositions();
    template <class Position>
    static void Remember(std::unordered_map<KeyId, Position> &positions, KeyId key, Position position);

    LONG OpenDatabase();
    LONG CreateSchema();
    sqlite3_stmt *Prepare(const char *sql);
    LONG Lookup(const KeyRef &parent, const std::string &fold, KeyRef &out, bool &found);
    LONG InsertKey(KeyRef parent, const std::string &name, const std::string &fold,
                   const CreateOptions &options, bool isProtected, KeyRef &out);
    LONG CheckKey(KeyId id);

    std::string path_;
    sqlite3 *db_ = nullptr;
    std::mutex lock_;
    std::unordered_map<const char *, sqlite3_stmt *> statements_;
    int64_t dataVersion_ = -1;
    std::unordered_map<KeyId, KeyPosition> keyPositions_;
    std::unordered_map<KeyId, ValuePosition> valuePositions_;
};

// How names are compared and ordered: Windows 1252 upper case, kept as UTF-8 so that byte
// order is Unicode order, the order NT enumerates subkeys in.
std::string FoldName(std::string_view name);

// FILETIME ticks (100 ns since 1601) of the current time.
int64_t FileTimeNow();
} // namespace plat::reg
