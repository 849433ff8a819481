// The registry hive on SQLite: schema, statements and one transaction per change.
#include "platform/advapi32/registry_store.h"
#include "platform/core/text.h"

#include <sqlite3.h>

#include <ctime>

namespace plat::reg
{
namespace
{
// A process waits this long for another writer before a change fails; writers hold the lock for
// microseconds, and a killed writer's lock goes with it.
constexpr int kBusyTimeoutMs = 60000;
constexpr int kSchemaVersion = 1;
constexpr int kSetupAttempts = 500;
constexpr int kSetupRetryMs = 2;
// Windows' epoch (1601) to the Unix epoch, in FILETIME ticks.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

constexpr const char *kSchema[] = {
    // parent is 0 for the two roots. The maxima are NT's high-water marks (see KeyStats).
    "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name BLOB NOT NULL,"
    " fold BLOB NOT NULL, class BLOB NOT NULL DEFAULT x'', volatile INTEGER NOT NULL DEFAULT 0,"
    " protected INTEGER NOT NULL DEFAULT 0, area INTEGER NOT NULL, mtime INTEGER NOT NULL,"
    " maxsub INTEGER NOT NULL DEFAULT 0, maxclass INTEGER NOT NULL DEFAULT 0,"
    " maxvname INTEGER NOT NULL DEFAULT 0, maxvdata INTEGER NOT NULL DEFAULT 0)",
    "CREATE UNIQUE INDEX keys_by_parent ON keys(parent, fold)",
    "CREATE INDEX keys_volatile ON keys(volatile) WHERE volatile <> 0",
    // seq keeps creation order: values enumerate in the order they were first set. A value's
    // mtime is its key's last write time, kept in the value's row so that setting a value writes
    // one page; the key's time is the latest of its own and its values'.
    "CREATE TABLE vals(key INTEGER NOT NULL, fold BLOB NOT NULL, name BLOB NOT NULL, seq INTEGER NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, mtime INTEGER NOT NULL, PRIMARY KEY(key, fold)) WITHOUT "
    "ROWID",
    "CREATE INDEX vals_by_seq ON vals(key, seq)",
    // The value maxima grow within the change that sets the value, and cost nothing when they
    // do not grow.
    "CREATE TRIGGER vals_grow_on_insert AFTER INSERT ON vals BEGIN"
    " UPDATE keys SET maxvname = max(maxvname, length(NEW.name)), maxvdata = max(maxvdata, length(NEW.data))"
    " WHERE id = NEW.key AND (maxvname < length(NEW.name) OR maxvdata < length(NEW.data)); END",
    "CREATE TRIGGER vals_grow_on_update AFTER UPDATE OF data ON vals BEGIN"
    " UPDATE keys SET maxvdata = length(NEW.data) WHERE id = NEW.key AND maxvdata < length(NEW.data); END",
};

constexpr char kInsertRoot[] = "INSERT INTO keys(id, parent, name, fold, area, mtime, protected) "
                               "VALUES(?1, 0, ?2, ?3, ?1, ?4, 1)";
constexpr char kLookup[] = "SELECT id, area, volatile, protected FROM keys WHERE parent = ?1 AND fold = ?2";
constexpr char kExists[] = "SELECT 1 FROM keys WHERE id = ?1";
constexpr char kInsertKey[] = "INSERT INTO keys(parent, name, fold, class, volatile, protected, area, mtime) "
                              "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)";
constexpr char kOwnArea[] = "UPDATE keys SET area = id WHERE id = ?1";
constexpr char kProtect[] = "UPDATE keys SET protected = 1 WHERE id = ?1";
constexpr char kTouchParent[] =
    "UPDATE keys SET mtime = ?2, maxsub = max(maxsub, ?3), maxclass = max(maxclass, ?4) "
    "WHERE id = ?1";
constexpr char kQueryValue[] = "SELECT type, data FROM vals WHERE key = ?1 AND fold = ?2";
// One statement, so it commits on its own without a statement journal; nothing is inserted
// when the key is gone.
constexpr char kUpsertValue[] =
    "INSERT INTO vals(key, fold, name, seq, type, data, mtime) "
    "SELECT ?1, ?2, ?3, (SELECT coalesce(max(seq), 0) + 1 FROM vals WHERE key = ?1), ?4, ?5, ?6 "
    "WHERE EXISTS(SELECT 1 FROM keys WHERE id = ?1) "
    "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data, mtime = excluded.mtime";
// The common case, a value that is there already: no lookups of the key or the order.
constexpr char kUpdateValue[] =
    "UPDATE vals SET type = ?3, data = ?4, mtime = ?5 WHERE key = ?1 AND fold = ?2";
constexpr char kDeleteValue[] = "DELETE FROM vals WHERE key = ?1 AND fold = ?2";
constexpr char kTouchAfterValueDelete[] =
    "UPDATE keys SET mtime = ?2, "
    "maxvname = CASE WHEN EXISTS(SELECT 1 FROM vals WHERE key = ?1) THEN maxvname ELSE 0 END, "
    "maxvdata = CASE WHEN EXISTS(SELECT 1 FROM vals WHERE key = ?1) THEN maxvdata ELSE 0 END WHERE id = ?1";
constexpr char kKeyHeader[] = "SELECT parent, protected FROM keys WHERE id = ?1";
constexpr char kHasSubKeys[] = "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1";
constexpr char kProtectedInSubtree[] =
    "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id) "
    "SELECT 1 FROM keys WHERE id IN sub AND protected <> 0 LIMIT 1";
constexpr char kDeleteSubtreeValues[] =
    "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id) "
    "DELETE FROM vals WHERE key IN sub";
constexpr char kDeleteSubtreeKeys[] =
    "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id) "
    "DELETE FROM keys WHERE id IN sub";
constexpr char kTouchAfterKeyDelete[] =
    "UPDATE keys SET mtime = ?2, "
    "maxsub = CASE WHEN EXISTS(SELECT 1 FROM keys WHERE parent = ?1) THEN maxsub ELSE 0 END, "
    "maxclass = CASE WHEN EXISTS(SELECT 1 FROM keys WHERE parent = ?1) THEN maxclass ELSE 0 END WHERE id = "
    "?1";
// By index: the OFFSET walks `index` rows. After a known item: one step of the index.
constexpr char kEnumKey[] =
    "SELECT name, class, mtime, fold FROM keys WHERE parent = ?1 ORDER BY fold LIMIT 1 OFFSET ?2";
constexpr char kEnumKeyAfter[] =
    "SELECT name, class, mtime, fold FROM keys WHERE parent = ?1 AND fold > ?2 ORDER BY fold LIMIT 1";
constexpr char kEnumValue[] =
    "SELECT name, type, data, seq FROM vals WHERE key = ?1 ORDER BY seq LIMIT 1 OFFSET ?2";
constexpr char kEnumValueAfter[] =
    "SELECT name, type, data, seq FROM vals WHERE key = ?1 AND seq > ?2 ORDER BY seq LIMIT 1";
// Changes when another connection commits; this connection's own commits leave it alone.
constexpr char kDataVersion[] = "PRAGMA data_version";
// Enumerations remembered at once; more keys walked in turn start the memory again.
constexpr size_t kMaxPositions = 64;
constexpr char kQueryInfo[] =
    "SELECT class, maxsub, maxclass, maxvname, maxvdata, mtime,"
    " (SELECT count(*) FROM keys WHERE parent = ?1), (SELECT count(*) FROM vals WHERE key = ?1)"
    " FROM keys WHERE id = ?1";
constexpr char kDropVolatileValues[] =
    "DELETE FROM vals WHERE key IN (SELECT id FROM keys WHERE volatile <> 0)";
constexpr char kDropVolatileKeys[] = "DELETE FROM keys WHERE volatile <> 0";
constexpr char kOrphanKeys[] = "SELECT count(*) FROM keys k WHERE k.parent <> 0 AND "
                               "NOT EXISTS(SELECT 1 FROM keys p WHERE p.id = k.parent)";
constexpr char kOrphanValues[] =
    "SELECT count(*) FROM vals v WHERE NOT EXISTS(SELECT 1 FROM keys k WHERE k.id = v.key)";

LONG ErrorFromSqlite(int rc)
{
    switch (rc & 0xFF)
    {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ERROR_SUCCESS;
    case SQLITE_NOMEM:
        return ERROR_OUTOFMEMORY;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return ERROR_ACCESS_DENIED;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    case SQLITE_TOOBIG:
        return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_BUSY:
        return ERROR_BUSY; // another process held the hive past the busy timeout
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

int64_t Length(std::string_view text)
{
    return static_cast<int64_t>(text.size());
}
} // namespace

std::string FoldName(std::string_view name)
{
    return Utf8From1252(Upper1252(name));
}

int64_t FileTimeNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return kUnixEpochTicks + static_cast<int64_t>(now.tv_sec) * 10000000 + now.tv_nsec / 100;
}

// One cached statement in use: bound, stepped, and reset when it goes out of scope so the
// transaction around it can end.
class Hive::Statement
{
  public:
    Statement(Hive &hive, const char *sql) : stmt_(hive.Prepare(sql)) {}
    ~Statement()
    {
        if (stmt_)
        {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool Ready() const { return stmt_ != nullptr; }
    Statement &Bind(int index, int64_t value)
    {
        sqlite3_bind_int64(stmt_, index, value);
        return *this;
    }
    // Blobs, so that names and data keep their exact bytes; an empty blob is not NULL.
    Statement &Bind(int index, const void *data, size_t size)
    {
        static const char empty = 0;
        sqlite3_bind_blob64(stmt_, index, size ? data : &empty, size, SQLITE_STATIC);
        return *this;
    }
    Statement &Bind(int index, std::string_view text) { return Bind(index, text.data(), text.size()); }
    int Step() { return sqlite3_step(stmt_); }
    // Steps to the end; the error of the first failing step, or ERROR_SUCCESS.
    LONG Run()
    {
        int rc;
        while ((rc = Step()) == SQLITE_ROW)
        {
        }
        return rc == SQLITE_DONE ? ERROR_SUCCESS : ErrorFromSqlite(rc);
    }
    int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    const BYTE *Data(int column) const
    {
        return static_cast<const BYTE *>(sqlite3_column_blob(stmt_, column));
    }
    DWORD Size(int column) const { return static_cast<DWORD>(sqlite3_column_bytes(stmt_, column)); }
    std::string Text(int column) const
    {
        const BYTE *data = Data(column);
        return data ? std::string(reinterpret_cast<const char *>(data), Size(column)) : std::string();
    }

  private:
    sqlite3_stmt *stmt_;
};

// BEGIN IMMEDIATE (the write lock, waited for with the busy timeout) ... COMMIT; rolled back
// when it goes out of scope uncommitted.
// A read transaction (BEGIN) takes SQLite's read lock once for every statement inside it. The
// three statements are prepared once per connection, as the others are.
class Hive::Transaction
{
  public:
    explicit Transaction(Hive &hive, bool write = true) : hive_(hive)
    {
        error_ = Execute(write ? "BEGIN IMMEDIATE" : "BEGIN");
        open_ = error_ == ERROR_SUCCESS;
    }
    ~Transaction()
    {
        if (open_)
            Execute("ROLLBACK");
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    LONG Error() const { return error_; }
    LONG Commit()
    {
        if (LONG err = Execute("COMMIT"))
            return err; // still open: the destructor rolls back
        open_ = false;
        return ERROR_SUCCESS;
    }

  private:
    LONG Execute(const char *sql)
    {
        Statement statement(hive_, sql);
        if (!statement.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        return statement.Run();
    }

    Hive &hive_;
    LONG error_;
    bool open_;
};

Hive::Hive(std::string path) : path_(std::move(path)) {}

Hive::~Hive()
{
    for (auto &entry : statements_)
        sqlite3_finalize(entry.second);
    if (db_)
        sqlite3_close(db_);
}

std::shared_ptr<Hive> Hive::Open(const std::string &path, LONG &error)
{
    std::shared_ptr<Hive> hive(new Hive(path));
    std::lock_guard guard(hive->lock_);
    // Two processes making the file at once can meet in SQLite's deadlock check (switching a new
    // file to WAL), which fails at once instead of waiting; the loser tries again.
    for (int attempt = 1;; ++attempt)
    {
        error = hive->OpenDatabase();
        if (error == ERROR_SUCCESS)
            error = hive->CreateSchema();
        if (error != ERROR_BUSY || attempt == kSetupAttempts)
            break;
        sqlite3_sleep(kSetupRetryMs);
    }
    return error == ERROR_SUCCESS ? hive : nullptr;
}

LONG Hive::OpenDatabase()
{
    int rc;
    if (!db_)
    {
        rc = sqlite3_open_v2(path_.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK)
            return rc == SQLITE_CANTOPEN ? ERROR_REGISTRY_IO_FAILED : ErrorFromSqlite(rc);
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    }
    // Small pages for a new hive: registry rows are small, and each change copies (and checksums)
    // its whole pages into the log. A hive made before keeps its own page size.
    sqlite3_exec(db_, "PRAGMA page_size=1024", nullptr, nullptr, nullptr);
    // WAL: readers never wait for the writer; NORMAL: a commit is durable at the next checkpoint
    // and a crash never tears one.
    char *mode = nullptr;
    rc = sqlite3_exec(
        db_, "PRAGMA journal_mode=WAL",
        [](void *out, int, char **values, char **) {
            if (values[0])
                *static_cast<char **>(out) = sqlite3_mprintf("%s", values[0]);
            return 0;
        },
        &mode, nullptr);
    const bool wal = mode && sqlite3_stricmp(mode, "wal") == 0;
    sqlite3_free(mode);
    if (rc != SQLITE_OK)
        return ErrorFromSqlite(rc);
    if (!wal)
        return ERROR_REGISTRY_IO_FAILED;
    rc = sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    return ErrorFromSqlite(rc);
}

LONG Hive::CreateSchema()
{
    Transaction txn(*this);
    if (txn.Error() != ERROR_SUCCESS)
        return txn.Error();
    {
        Statement version(*this, "PRAGMA user_version");
        if (!version.Ready())
            return ERROR_REGISTRY_CORRUPT;
        if (version.Step() != SQLITE_ROW)
            return ERROR_REGISTRY_CORRUPT;
        if (version.Int(0) == kSchemaVersion)
            return ERROR_SUCCESS; // another process made it; the transaction just ends
        if (version.Int(0) != 0)
            return ERROR_NOT_REGISTRY_FILE;
    }
    for (const char *sql : kSchema)
        if (int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); rc != SQLITE_OK)
            return ErrorFromSqlite(rc);
    const int64_t now = FileTimeNow();
    for (auto [id, name] :
         {std::pair{kMachineRoot, "HKEY_LOCAL_MACHINE"}, std::pair{kUsersRoot, "HKEY_USERS"}})
    {
        Statement insert(*this, kInsertRoot);
        if (!insert.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        const std::string fold = FoldName(name);
        if (LONG err = insert.Bind(1, id).Bind(2, name).Bind(3, fold).Bind(4, now).Run())
            return err;
    }
    std::string setVersion = "PRAGMA user_version=" + std::to_string(kSchemaVersion);
    if (int rc = sqlite3_exec(db_, setVersion.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return ErrorFromSqlite(rc);
    return txn.Commit();
}

sqlite3_stmt *Hive::Prepare(const char *sql)
{
    auto it = statements_.find(sql);
    if (it != statements_.end())
        return it->second;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
        return nullptr;
    statements_.emplace(sql, stmt);
    return stmt;
}

LONG Hive::Lookup(const KeyRef &parent, const std::string &fold, KeyRef &out, bool &found)
{
    Statement lookup(*this, kLookup);
    if (!lookup.Ready())
        return ERROR_REGISTRY_IO_FAILED;
    int rc = lookup.Bind(1, parent.id).Bind(2, fold).Step();
    found = rc == SQLITE_ROW;
    if (found)
    {
        out.depth = parent.depth + 1; // before `out`, which may be `parent`, changes
        out.id = lookup.Int(0);
        out.area = lookup.Int(1);
        out.isVolatile = lookup.Int(2) != 0;
        out.isProtected = lookup.Int(3) != 0;
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_SUCCESS : ErrorFromSqlite(rc);
}

// ERROR_SUCCESS while the key exists, ERROR_KEY_DELETED once it is gone.
LONG Hive::CheckKey(KeyId id)
{
    Statement exists(*this, kExists);
    if (!exists.Ready())
        return ERROR_REGISTRY_IO_FAILED;
    int rc = exists.Bind(1, id).Step();
    if (rc == SQLITE_ROW)
        return ERROR_SUCCESS;
    return rc == SQLITE_DONE ? ERROR_KEY_DELETED : ErrorFromSqlite(rc);
}

LONG Hive::Exists(KeyId id)
{
    std::lock_guard guard(lock_);
    return CheckKey(id);
}

LONG Hive::Find(const KeyRef &from, const std::vector<std::string> &components, KeyRef &out)
{
    std::lock_guard guard(lock_);
    // One read of the hive for the whole path: each lookup alone would take and drop the lock.
    Transaction txn(*this, false);
    if (txn.Error())
        return txn.Error();
    KeyRef current = from;
    for (const std::string &component : components)
    {
        bool found = false;
        if (LONG err = Lookup(current, FoldName(component), current, found))
            return err;
        if (!found)
        {
            LONG err = CheckKey(from.id);
            return err == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : err;
        }
    }
    if (components.empty())
        if (LONG err = CheckKey(from.id))
            return err;
    out = current;
    return ERROR_SUCCESS;
}

LONG Hive::InsertKey(const KeyRef parent, const std::string &name, const std::string &fold,
                     const CreateOptions &options, bool isProtected, KeyRef &out)
{
    const int64_t now = FileTimeNow();
    {
        Statement insert(*this, kInsertKey);
        if (!insert.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        insert.Bind(1, parent.id).Bind(2, name).Bind(3, fold).Bind(4, options.className);
        insert.Bind(5, options.isVolatile ? 1 : 0)
            .Bind(6, isProtected ? 1 : 0)
            .Bind(7, parent.area)
            .Bind(8, now);
        if (LONG err = insert.Run())
            return err;
    }
    out.id = sqlite3_last_insert_rowid(db_);
    out.area = parent.area;
    out.isVolatile = options.isVolatile;
    out.isProtected = isProtected;
    out.depth = parent.depth + 1;
    if (parent.id == kUsersRoot)
    {
        // Each key directly below HKEY_USERS is a user's hive of its own.
        Statement own(*this, kOwnArea);
        if (!own.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        if (LONG err = own.Bind(1, out.id).Run())
            return err;
        out.area = out.id;
    }
    Statement touch(*this, kTouchParent);
    if (!touch.Ready())
        return ERROR_REGISTRY_IO_FAILED;
    touch.Bind(1, parent.id).Bind(2, now).Bind(3, Length(name)).Bind(4, Length(options.className));
    return touch.Run();
}

LONG Hive::Create(const KeyRef &from, const std::vector<std::string> &components,
                  const CreateOptions &options, KeyRef &out, bool &created)
{
    std::lock_guard guard(lock_);
    ForgetPositions();
    Transaction txn(*this);
    if (txn.Error())
        return txn.Error();
    if (LONG err = CheckKey(from.id))
        return err;
    KeyRef current = from;
    created = false;
    for (size_t i = 0; i < components.size(); ++i)
    {
        const std::string fold = FoldName(components[i]);
        bool found = false;
        if (LONG err = Lookup(current, fold, current, found))
            return err;
        if (found)
            continue;
        if (!created && options.allowCreate)
            if (LONG err = options.allowCreate(current))
                return err;
        if (current.isVolatile && !options.isVolatile)
            return ERROR_CHILD_MUST_BE_VOLATILE;
        if (current.depth >= kMaxKeyDepth)
            return ERROR_INVALID_PARAMETER; // the transaction takes back the keys made so far
        CreateOptions these;
        these.isVolatile = options.isVolatile;
        if (i + 1 == components.size())
            these.className = options.className; // the class belongs to the key asked for
        if (LONG err = InsertKey(current, components[i], fold, these, false, current))
            return err;
        created = true;
    }
    if (created)
        if (LONG err = txn.Commit())
            return err;
    out = current;
    return ERROR_SUCCESS;
}

LONG Hive::Anchor(KeyId root, const std::vector<std::string> &components, KeyRef &out)
{
    KeyRef top{root, root, false, true, 0};
    if (components.empty())
    {
        out = top;
        return ERROR_SUCCESS;
    }
    if (Find(top, components, out) == ERROR_SUCCESS && out.isProtected)
        return ERROR_SUCCESS;
    std::lock_guard guard(lock_);
    ForgetPositions();
    Transaction txn(*this);
    if (txn.Error())
        return txn.Error();
    KeyRef current = top;
    for (const std::string &component : components)
    {
        const std::string fold = FoldName(component);
        bool found = false;
        if (LONG err = Lookup(current, fold, current, found))
            return err;
        if (!found)
        {
            if (LONG err = InsertKey(current, component, fold, CreateOptions{}, true, current))
                return err;
        }
        else if (!current.isProtected)
        {
            Statement protect(*this, kProtect);
            if (!protect.Ready())
                return ERROR_REGISTRY_IO_FAILED;
            if (LONG err = protect.Bind(1, current.id).Run())
                return err;
            current.isProtected = true;
        }
    }
    if (LONG err = txn.Commit())
        return err;
    out = current;
    return ERROR_SUCCESS;
}

LONG Hive::QueryValue(KeyId key, std::string_view name, const ValueSink &sink)
{
    std::lock_guard guard(lock_);
    const std::string fold = FoldName(name);
    {
        Statement query(*this, kQueryValue);
        if (!query.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        int rc = query.Bind(1, key).Bind(2, fold).Step();
        if (rc == SQLITE_ROW)
        {
            sink(static_cast<DWORD>(query.Int(0)), query.Data(1), query.Size(1));
            return ERROR_SUCCESS;
        }
        if (rc != SQLITE_DONE)
            return ErrorFromSqlite(rc);
    }
    LONG err = CheckKey(key);
    return err == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : err;
}

LONG Hive::SetValue(KeyId key, std::string_view name, DWORD type, const BYTE *data, DWORD size)
{
    std::lock_guard guard(lock_);
    ForgetPositions();
    const std::string fold = FoldName(name);
    const int64_t now = FileTimeNow();
    {
        Statement update(*this, kUpdateValue);
        if (!update.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        update.Bind(1, key)
            .Bind(2, fold)
            .Bind(3, static_cast<int64_t>(type))
            .Bind(4, data, size)
            .Bind(5, now);
        if (LONG err = update.Run())
            return err;
        if (sqlite3_changes(db_))
            return ERROR_SUCCESS;
    }
    Statement upsert(*this, kUpsertValue);
    if (!upsert.Ready())
        return ERROR_REGISTRY_IO_FAILED;
    upsert.Bind(1, key).Bind(2, fold).Bind(3, name).Bind(4, static_cast<int64_t>(type)).Bind(5, data, size);
    upsert.Bind(6, now);
    if (LONG err = upsert.Run())
        return err;
    return sqlite3_changes(db_) ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LONG Hive::DeleteValue(KeyId key, std::string_view name)
{
    std::lock_guard guard(lock_);
    ForgetPositions();
    const std::string fold = FoldName(name);
    Transaction txn(*this);
    if (txn.Error())
        return txn.Error();
    {
        Statement remove(*this, kDeleteValue);
        if (!remove.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        if (LONG err = remove.Bind(1, key).Bind(2, fold).Run())
            return err;
    }
    if (sqlite3_changes(db_) == 0)
    {
        LONG err = CheckKey(key);
        return err == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : err;
    }
    {
        Statement touch(*this, kTouchAfterValueDelete);
        if (!touch.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        if (LONG err = touch.Bind(1, key).Bind(2, FileTimeNow()).Run())
            return err;
    }
    return txn.Commit();
}

LONG Hive::DeleteKey(KeyId key, bool subtree)
{
    std::lock_guard guard(lock_);
    ForgetPositions();
    Transaction txn(*this);
    if (txn.Error())
        return txn.Error();
    KeyId parent = 0;
    {
        Statement header(*this, kKeyHeader);
        if (!header.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        int rc = header.Bind(1, key).Step();
        if (rc == SQLITE_DONE)
            return ERROR_KEY_DELETED;
        if (rc != SQLITE_ROW)
            return ErrorFromSqlite(rc);
        parent = header.Int(0);
        if (parent == 0 || header.Int(1) != 0)
            return ERROR_ACCESS_DENIED; // the roots and the keys the predefined handles stand for
    }
    {
        // NT refuses a key with subkeys; 9x takes the subtree, but never through a protected key.
        Statement blocker(*this, subtree ? kProtectedInSubtree : kHasSubKeys);
        if (!blocker.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        int rc = blocker.Bind(1, key).Step();
        if (rc == SQLITE_ROW)
            return ERROR_ACCESS_DENIED;
        if (rc != SQLITE_DONE)
            return ErrorFromSqlite(rc);
    }
    for (const char *sql : {kDeleteSubtreeValues, kDeleteSubtreeKeys})
    {
        Statement remove(*this, sql);
        if (!remove.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        if (LONG err = remove.Bind(1, key).Run())
            return err;
    }
    {
        Statement touch(*this, kTouchAfterKeyDelete);
        if (!touch.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        if (LONG err = touch.Bind(1, parent).Bind(2, FileTimeNow()).Run())
            return err;
    }
    return txn.Commit();
}

void Hive::ForgetPositions()
{
    keyPositions_.clear();
    valuePositions_.clear();
}

LONG Hive::CheckPositions()
{
    Statement version(*this, kDataVersion);
    if (!version.Ready())
        return ERROR_REGISTRY_IO_FAILED;
    int rc = version.Step();
    if (rc != SQLITE_ROW)
        return ErrorFromSqlite(rc);
    if (version.Int(0) != dataVersion_)
    {
        ForgetPositions();
        dataVersion_ = version.Int(0);
    }
    return ERROR_SUCCESS;
}

template <class Position>
void Hive::Remember(std::unordered_map<KeyId, Position> &positions, KeyId key, Position position)
{
    if (positions.size() >= kMaxPositions && !positions.count(key))
        positions.clear();
    positions.insert_or_assign(key, std::move(position));
}

LONG Hive::EnumKey(KeyId key, DWORD index, SubKeyEntry &out)
{
    std::lock_guard guard(lock_);
    Transaction txn(*this, false);
    if (txn.Error())
        return txn.Error();
    if (LONG err = CheckPositions())
        return err;
    const auto known = keyPositions_.find(key);
    const bool next = known != keyPositions_.end() && known->second.index + 1 == index;
    const std::string after = next ? known->second.fold : std::string();
    {
        Statement enumerate(*this, next ? kEnumKeyAfter : kEnumKey);
        if (!enumerate.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        enumerate.Bind(1, key);
        if (next)
            enumerate.Bind(2, after);
        else
            enumerate.Bind(2, static_cast<int64_t>(index));
        int rc = enumerate.Step();
        if (rc == SQLITE_ROW)
        {
            out.name = enumerate.Text(0);
            out.className = enumerate.Text(1);
            out.lastWrite = enumerate.Int(2);
            Remember(keyPositions_, key, KeyPosition{index, enumerate.Text(3)});
            return ERROR_SUCCESS;
        }
        if (rc != SQLITE_DONE)
            return ErrorFromSqlite(rc);
    }
    LONG err = CheckKey(key);
    return err == ERROR_SUCCESS ? ERROR_NO_MORE_ITEMS : err;
}

LONG Hive::EnumValue(KeyId key, DWORD index, ValueEntry &out)
{
    std::lock_guard guard(lock_);
    Transaction txn(*this, false);
    if (txn.Error())
        return txn.Error();
    if (LONG err = CheckPositions())
        return err;
    const auto known = valuePositions_.find(key);
    const bool next = known != valuePositions_.end() && known->second.index + 1 == index;
    {
        Statement enumerate(*this, next ? kEnumValueAfter : kEnumValue);
        if (!enumerate.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        enumerate.Bind(1, key).Bind(2, next ? known->second.seq : static_cast<int64_t>(index));
        int rc = enumerate.Step();
        if (rc == SQLITE_ROW)
        {
            out.name = enumerate.Text(0);
            out.type = static_cast<DWORD>(enumerate.Int(1));
            out.data = enumerate.Text(2);
            Remember(valuePositions_, key, ValuePosition{index, enumerate.Int(3)});
            return ERROR_SUCCESS;
        }
        if (rc != SQLITE_DONE)
            return ErrorFromSqlite(rc);
    }
    LONG err = CheckKey(key);
    return err == ERROR_SUCCESS ? ERROR_NO_MORE_ITEMS : err;
}

LONG Hive::QueryInfo(KeyId key, KeyStats &out)
{
    std::lock_guard guard(lock_);
    Statement info(*this, kQueryInfo);
    if (!info.Ready())
        return ERROR_REGISTRY_IO_FAILED;
    int rc = info.Bind(1, key).Step();
    if (rc == SQLITE_DONE)
        return ERROR_KEY_DELETED;
    if (rc != SQLITE_ROW)
        return ErrorFromSqlite(rc);
    out.className = info.Text(0);
    out.maxSubKeyLen = static_cast<DWORD>(info.Int(1));
    out.maxClassLen = static_cast<DWORD>(info.Int(2));
    out.maxValueNameLen = static_cast<DWORD>(info.Int(3));
    out.maxValueLen = static_cast<DWORD>(info.Int(4));
    out.lastWrite = info.Int(5);
    out.subKeys = static_cast<DWORD>(info.Int(6));
    out.values = static_cast<DWORD>(info.Int(7));
    return ERROR_SUCCESS;
}

LONG Hive::Flush(KeyId key)
{
    std::lock_guard guard(lock_);
    if (LONG err = CheckKey(key))
        return err;
    // Moves committed changes from the log into the database file; a busy reader only shortens it.
    int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return rc == SQLITE_BUSY ? ERROR_SUCCESS : ErrorFromSqlite(rc);
}

LONG Hive::DropVolatileKeys()
{
    std::lock_guard guard(lock_);
    ForgetPositions();
    Transaction txn(*this);
    if (txn.Error())
        return txn.Error();
    // Only volatile keys hang below volatile keys, so one pass finds every subtree.
    for (const char *sql : {kDropVolatileValues, kDropVolatileKeys})
    {
        Statement remove(*this, sql);
        if (!remove.Ready())
            return ERROR_REGISTRY_IO_FAILED;
        if (LONG err = remove.Run())
            return err;
    }
    return txn.Commit();
}

LONG Hive::Check(std::string &problem)
{
    std::lock_guard guard(lock_);
    Transaction txn(*this, false);
    if (txn.Error())
        return txn.Error();
    {
        Statement integrity(*this, "PRAGMA integrity_check");
        if (!integrity.Ready())
            return ERROR_REGISTRY_CORRUPT;
        int rc = integrity.Step();
        if (rc != SQLITE_ROW)
            return ErrorFromSqlite(rc);
        problem = integrity.Text(0);
        if (problem != "ok")
            return ERROR_REGISTRY_CORRUPT;
    }
    const std::pair<const char *, const char *> rules[] = {
        {kOrphanKeys, "keys without a parent"},
        {kOrphanValues, "values without a key"},
    };
    for (auto [sql, what] : rules)
    {
        Statement count(*this, sql);
        if (!count.Ready() || count.Step() != SQLITE_ROW)
            return ERROR_REGISTRY_IO_FAILED;
        if (count.Int(0) != 0)
        {
            problem = std::to_string(count.Int(0)) + " " + what;
            return ERROR_REGISTRY_CORRUPT;
        }
    }
    for (KeyId root : {kMachineRoot, kUsersRoot})
        if (CheckKey(root) != ERROR_SUCCESS)
        {
            problem = "a root key is missing";
            return ERROR_REGISTRY_CORRUPT;
        }
    problem.clear();
    return txn.Commit();
}
} // namespace plat::reg
