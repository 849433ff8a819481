// Security of the NT family: security identifiers, the process's access token (its user, groups
// and privileges). 95/98/Me have no security: their token functions are not implemented.
#include "platform/advapi32/security.h"
#include "platform/kit/kitmachine.h"
#include "platform/core/handles.h"
#include "platform/core/lasterror.h"
#include "platform/core/text.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace
{
constexpr BYTE kMaxAllocatedSubAuthorities = 8;
constexpr DWORD kGroupDefault = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
constexpr DWORD kPrivilegeDefault = SE_PRIVILEGE_ENABLED_BY_DEFAULT | SE_PRIVILEGE_ENABLED;
constexpr DWORD kLogonSessionLow = 0x0000C6E4; // the interactive logon session's SID tail

bool IsNt()
{
    return kitpc::IsNtFamily(kitpc::ReadIdentity().family);
}

// ---------------------------------------------------------------------------------------------
// Privileges, with Windows' LUIDs.

struct PrivilegeName
{
    DWORD luid;
    const char *name;
};

constexpr PrivilegeName kPrivilegeNames[] = {
    {2, "SeCreateTokenPrivilege"},
    {3, "SeAssignPrimaryTokenPrivilege"},
    {4, "SeLockMemoryPrivilege"},
    {5, "SeIncreaseQuotaPrivilege"},
    {6, "SeMachineAccountPrivilege"},
    {7, "SeTcbPrivilege"},
    {8, "SeSecurityPrivilege"},
    {9, "SeTakeOwnershipPrivilege"},
    {10, "SeLoadDriverPrivilege"},
    {11, "SeSystemProfilePrivilege"},
    {12, "SeSystemtimePrivilege"},
    {13, "SeProfileSingleProcessPrivilege"},
    {14, "SeIncreaseBasePriorityPrivilege"},
    {15, "SeCreatePagefilePrivilege"},
    {16, "SeCreatePermanentPrivilege"},
    {17, "SeBackupPrivilege"},
    {18, "SeRestorePrivilege"},
    {19, "SeShutdownPrivilege"},
    {20, "SeDebugPrivilege"},
    {21, "SeAuditPrivilege"},
    {22, "SeSystemEnvironmentPrivilege"},
    {23, "SeChangeNotifyPrivilege"},
    {24, "SeRemoteShutdownPrivilege"},
    {25, "SeUndockPrivilege"},
    {26, "SeSyncAgentPrivilege"},
    {27, "SeEnableDelegationPrivilege"},
    {28, "SeManageVolumePrivilege"},
    {29, "SeImpersonatePrivilege"},
    {30, "SeCreateGlobalPrivilege"},
};

struct HeldPrivilege
{
    DWORD luid;
    DWORD attributes;
};

// What a workstation's local policy grants: members of Users, and Administrators.
const std::vector<HeldPrivilege> &GrantedPrivileges(bool administrator)
{
    static const std::vector<HeldPrivilege> user = {{19, 0}, {23, kPrivilegeDefault}, {25, 0}};
    static const std::vector<HeldPrivilege> admin = {
        {5, 0},
        {8, 0},
        {9, 0},
        {10, 0},
        {11, 0},
        {12, 0},
        {13, 0},
        {14, 0},
        {15, 0},
        {17, 0},
        {18, 0},
        {19, 0},
        {20, 0},
        {22, 0},
        {23, kPrivilegeDefault},
        {24, 0},
        {25, 0},
        {28, 0},
        {29, kPrivilegeDefault},
        {30, kPrivilegeDefault},
    };
    return administrator ? admin : user;
}

// The process's privileges. They belong to the PC's user: a process that moves to another PC, or
// whose user becomes or stops being an administrator, starts again from the granted set.
struct ProcessPrivileges
{
    std::string machine;
    bool administrator = false;
    bool ready = false;
    std::vector<HeldPrivilege> held;
};

std::mutex &PrivilegeMutex()
{
    static auto *mutex = new std::mutex;
    return *mutex;
}

// With PrivilegeMutex held.
ProcessPrivileges &Privileges()
{
    static auto *state = new ProcessPrivileges;
    const std::string machine = kitpc::Root();
    const bool administrator = kitpc::ReadIdentity().administrator;
    if (!state->ready || state->machine != machine || state->administrator != administrator)
    {
        state->machine = machine;
        state->administrator = administrator;
        state->held = GrantedPrivileges(administrator);
        state->ready = true;
    }
    return *state;
}

HeldPrivilege *FindHeld(ProcessPrivileges &state, DWORD luid)
{
    auto it = std::find_if(state.held.begin(), state.held.end(),
                           [luid](const HeldPrivilege &p) { return p.luid == luid; });
    return it == state.held.end() ? nullptr : &*it;
}

// ---------------------------------------------------------------------------------------------
// Security identifiers, kept as their bytes.

using SidBytes = std::vector<BYTE>;

SidBytes MakeSid(BYTE authority, std::initializer_list<DWORD> subAuthorities)
{
    SidBytes bytes(offsetof(SID, SubAuthority) + sizeof(DWORD) * subAuthorities.size());
    SID sid{};
    sid.Revision = SID_REVISION;
    sid.SubAuthorityCount = static_cast<BYTE>(subAuthorities.size());
    sid.IdentifierAuthority.Value[5] = authority;
    std::memcpy(bytes.data(), &sid, offsetof(SID, SubAuthority));
    size_t offset = offsetof(SID, SubAuthority);
    for (DWORD sub : subAuthorities)
    {
        std::memcpy(bytes.data() + offset, &sub, sizeof sub);
        offset += sizeof sub;
    }
    return bytes;
}

constexpr BYTE kWorldAuthority = 1;
constexpr BYTE kLocalAuthority = 2;
constexpr BYTE kNtAuthority = 5;

// The PC's own domain: S-1-5-21-x-y-z, x y z drawn from the computer name so they stay the same.
DWORD NameHash(const std::string &name, DWORD seed)
{
    DWORD hash = 2166136261u ^ seed;
    for (unsigned char c : plat::Upper1252(name))
        hash = (hash ^ c) * 16777619u;
    return hash;
}

SidBytes MachineSid(DWORD rid)
{
    const std::string name = kitpc::ReadIdentity().computerName;
    return MakeSid(kNtAuthority,
                   {SECURITY_NT_NON_UNIQUE, NameHash(name, 1), NameHash(name, 2), NameHash(name, 3), rid});
}

SidBytes UserSid()
{
    const kitpc::Identity id = kitpc::ReadIdentity();
    if (plat::EqualNoCase(id.userName, "Administrador") || plat::EqualNoCase(id.userName, "Administrator"))
        return MachineSid(DOMAIN_USER_RID_ADMIN);
    // The first account made at set-up: XP keeps 1000-1002 for its own support accounts.
    return MachineSid(id.family == kitpc::WindowsFamily::XP ? 1003 : 1000);
}

struct Group
{
    SidBytes sid;
    DWORD attributes;
};

// The groups of an interactive user of a workstation. A user who is not an administrator is not
// in Administrators at all (XP has no split token).
std::vector<Group> InteractiveGroups()
{
    std::vector<Group> groups;
    groups.push_back({MachineSid(DOMAIN_GROUP_RID_USERS), kGroupDefault}); // "None"
    groups.push_back({MakeSid(kWorldAuthority, {SECURITY_WORLD_RID}), kGroupDefault});
    if (kitpc::ReadIdentity().administrator)
        groups.push_back({MakeSid(kNtAuthority, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}),
                          kGroupDefault | SE_GROUP_OWNER});
    groups.push_back(
        {MakeSid(kNtAuthority, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}), kGroupDefault});
    groups.push_back({MakeSid(kNtAuthority, {SECURITY_INTERACTIVE_RID}), kGroupDefault});
    groups.push_back({MakeSid(kNtAuthority, {SECURITY_AUTHENTICATED_USER_RID}), kGroupDefault});
    groups.push_back({MakeSid(kNtAuthority, {SECURITY_LOGON_IDS_RID, 0, kLogonSessionLow}),
                      kGroupDefault | SE_GROUP_LOGON_ID});
    groups.push_back({MakeSid(kLocalAuthority, {SECURITY_LOCAL_RID}), kGroupDefault});
    return groups;
}

// ---------------------------------------------------------------------------------------------
// Token information laid out as Windows does: the structure, then the SIDs it points to, in one
// buffer. Each writer returns the size needed and writes only when `out` is given.

size_t WriteSidList(const std::vector<Group> &groups, size_t header, BYTE *out, SID_AND_ATTRIBUTES *entries)
{
    size_t offset = header;
    for (size_t i = 0; i < groups.size(); ++i)
    {
        if (out)
        {
            std::memcpy(out + offset, groups[i].sid.data(), groups[i].sid.size());
            entries[i].Sid = out + offset;
            entries[i].Attributes = groups[i].attributes;
        }
        offset += groups[i].sid.size();
    }
    return offset;
}

size_t WriteTokenGroups(BYTE *out)
{
    const std::vector<Group> groups = InteractiveGroups();
    const size_t header = offsetof(TOKEN_GROUPS, Groups) + groups.size() * sizeof(SID_AND_ATTRIBUTES);
    auto *entries =
        out ? reinterpret_cast<SID_AND_ATTRIBUTES *>(out + offsetof(TOKEN_GROUPS, Groups)) : nullptr;
    if (out)
        reinterpret_cast<TOKEN_GROUPS *>(out)->GroupCount = static_cast<DWORD>(groups.size());
    return WriteSidList(groups, header, out, entries);
}

size_t WriteTokenUser(BYTE *out)
{
    const std::vector<Group> user{{UserSid(), 0}};
    auto *entries = out ? &reinterpret_cast<TOKEN_USER *>(out)->User : nullptr;
    return WriteSidList(user, sizeof(TOKEN_USER), out, entries);
}

size_t PrivilegesSize(size_t count)
{
    return offsetof(TOKEN_PRIVILEGES, Privileges) + count * sizeof(LUID_AND_ATTRIBUTES);
}

void WritePrivileges(const std::vector<HeldPrivilege> &list, PTOKEN_PRIVILEGES out)
{
    out->PrivilegeCount = static_cast<DWORD>(list.size());
    auto *entries = reinterpret_cast<LUID_AND_ATTRIBUTES *>(reinterpret_cast<BYTE *>(out) +
                                                            offsetof(TOKEN_PRIVILEGES, Privileges));
    for (size_t i = 0; i < list.size(); ++i)
        entries[i] = LUID_AND_ATTRIBUTES{LUID{list[i].luid, 0}, list[i].attributes};
}

std::vector<HeldPrivilege> ReadPrivileges(const TOKEN_PRIVILEGES &in)
{
    std::vector<HeldPrivilege> list;
    auto *entries = reinterpret_cast<const LUID_AND_ATTRIBUTES *>(reinterpret_cast<const BYTE *>(&in) +
                                                                  offsetof(TOKEN_PRIVILEGES, Privileges));
    for (DWORD i = 0; i < in.PrivilegeCount; ++i)
        list.push_back({entries[i].Luid.HighPart == 0 ? entries[i].Luid.LowPart : 0, entries[i].Attributes});
    return list;
}

size_t WriteTokenPrivileges(BYTE *out)
{
    std::lock_guard guard(PrivilegeMutex());
    const std::vector<HeldPrivilege> &held = Privileges().held;
    if (out)
        WritePrivileges(held, reinterpret_cast<PTOKEN_PRIVILEGES>(out));
    return PrivilegesSize(held.size());
}

// ---------------------------------------------------------------------------------------------
// Token objects: every token of the process shares the process's privileges.

class TokenObject final : public plat::KernelObject
{
  public:
    explicit TokenObject(ACCESS_MASK access) : KernelObject(plat::ObjectKind::Token), access_(Expand(access))
    {
    }
    bool Allows(ACCESS_MASK rights) const { return (access_ & rights) == rights; }

  private:
    static ACCESS_MASK Expand(ACCESS_MASK access)
    {
        if (access & (MAXIMUM_ALLOWED | GENERIC_ALL))
            access |= TOKEN_ALL_ACCESS;
        if (access & GENERIC_READ)
            access |= TOKEN_READ;
        if (access & GENERIC_WRITE)
            access |= TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS | TOKEN_ADJUST_DEFAULT;
        return access;
    }
    const ACCESS_MASK access_;
};

// The token behind a handle, checked for the rights; nullptr with the last error set.
std::shared_ptr<TokenObject> TokenOf(HANDLE handle, ACCESS_MASK rights)
{
    if (!IsNt())
    {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    auto token = plat::GetHandleObject<TokenObject>(handle, plat::ObjectKind::Token);
    if (token && !token->Allows(rights))
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return token;
}

const SID *AsSid(PSID sid)
{
    return static_cast<const SID *>(sid);
}

} // namespace

namespace plat
{
bool IsLocalComputerName(LPCSTR name)
{
    if (!name || !*name)
        return true;
    std::string_view text(name);
    if (text.starts_with("\\\\"))
        text.remove_prefix(2);
    return plat::EqualNoCase(text, kitpc::ReadIdentity().computerName);
}

bool PrivilegeEnabled(DWORD luid)
{
    std::lock_guard guard(PrivilegeMutex());
    HeldPrivilege *held = FindHeld(Privileges(), luid);
    return held && (held->attributes & SE_PRIVILEGE_ENABLED);
}
} // namespace plat

// OpenProcessToken: the calling process's token (user, groups, privileges). Only the current
// process is supported (another process's handle: ERROR_CALL_NOT_IMPLEMENTED); on 95/98/Me,
// which have no security, it fails with ERROR_CALL_NOT_IMPLEMENTED as they do.
BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle)
{
    if (!IsNt())
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (!TokenHandle)
        return plat::Fail(ERROR_NOACCESS);
    if (ProcessHandle != GetCurrentProcess())
    {
        std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(ProcessHandle);
        return plat::Fail(object && object->Kind() == plat::ObjectKind::Process ? ERROR_CALL_NOT_IMPLEMENTED
                                                                                : ERROR_INVALID_HANDLE);
    }
    HANDLE token = plat::InsertHandle(std::make_shared<TokenObject>(DesiredAccess));
    if (!token)
        return FALSE;
    *TokenHandle = token;
    return TRUE;
}

// GetTokenInformation: TokenUser, TokenGroups and TokenPrivileges, laid out as Windows does (the
// structure followed by the SIDs it points to). *ReturnLength always gets the size needed; a
// smaller buffer fails with ERROR_INSUFFICIENT_BUFFER. The user's SID is made up from the computer
// name (S-1-5-21-x-y-z-1003 on XP, -1000 before, -500 for an "Administrador" account); the groups
// are those of an interactive user of a workstation: None, Everyone, Administrators (only when the
// PC's user is an administrator), Users, Interactive, Authenticated Users, the logon session and
// LOCAL. Other classes: ERROR_CALL_NOT_IMPLEMENTED.
BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                LPVOID TokenInformation, DWORD TokenInformationLength, PDWORD ReturnLength)
{
    if (!TokenOf(TokenHandle, TOKEN_QUERY))
        return FALSE;
    size_t (*writer)(BYTE *) = nullptr;
    switch (TokenInformationClass)
    {
    case TokenUser:
        writer = WriteTokenUser;
        break;
    case TokenGroups:
        writer = WriteTokenGroups;
        break;
    case TokenPrivileges:
        writer = WriteTokenPrivileges;
        break;
    default:
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    }
    if (!ReturnLength)
        return plat::Fail(ERROR_NOACCESS);
    const size_t needed = writer(nullptr);
    *ReturnLength = static_cast<DWORD>(needed);
    if (!TokenInformation || TokenInformationLength < needed)
        return plat::Fail(ERROR_INSUFFICIENT_BUFFER);
    // The privileges may change between the two calls; the size reported is the one written.
    *ReturnLength = static_cast<DWORD>(writer(static_cast<BYTE *>(TokenInformation)));
    return TRUE;
}

// AdjustTokenPrivileges: enables, disables (or, with SE_PRIVILEGE_REMOVED, removes) privileges of
// the process. PreviousState receives the former state of those that changed. Asking for one the
// user does not hold still returns TRUE, with GetLastError() == ERROR_NOT_ALL_ASSIGNED; otherwise
// ERROR_SUCCESS. Administrators hold more than users; both hold SeShutdownPrivilege.
BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges, PTOKEN_PRIVILEGES NewState,
                                  DWORD BufferLength, PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength)
{
    const ACCESS_MASK rights = TOKEN_ADJUST_PRIVILEGES | (PreviousState ? TOKEN_QUERY : 0);
    if (!TokenOf(TokenHandle, rights))
        return FALSE;
    if (!DisableAllPrivileges && !NewState)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (PreviousState && !ReturnLength)
        return plat::Fail(ERROR_NOACCESS);

    std::lock_guard guard(PrivilegeMutex());
    ProcessPrivileges &state = Privileges();
    std::vector<HeldPrivilege> wanted;
    if (DisableAllPrivileges)
        for (const HeldPrivilege &held : state.held)
            wanted.push_back({held.luid, 0});
    else
        wanted = ReadPrivileges(*NewState);

    // First what would change, so a too small PreviousState changes nothing.
    bool allAssigned = true;
    std::vector<HeldPrivilege> previous;
    std::vector<HeldPrivilege> next = state.held;
    for (const HeldPrivilege &want : wanted)
    {
        auto it = std::find_if(next.begin(), next.end(),
                               [&](const HeldPrivilege &p) { return p.luid == want.luid; });
        if (it == next.end())
        {
            allAssigned = false;
            continue;
        }
        if (want.attributes & SE_PRIVILEGE_REMOVED)
        {
            previous.push_back(*it);
            next.erase(it);
            continue;
        }
        const DWORD attributes =
            (it->attributes & ~SE_PRIVILEGE_ENABLED) | (want.attributes & SE_PRIVILEGE_ENABLED);
        if (attributes != it->attributes)
        {
            previous.push_back(*it);
            it->attributes = attributes;
        }
    }
    if (PreviousState)
    {
        *ReturnLength = static_cast<DWORD>(PrivilegesSize(previous.size()));
        if (BufferLength < *ReturnLength)
            return plat::Fail(ERROR_INSUFFICIENT_BUFFER);
        WritePrivileges(previous, PreviousState);
    }
    state.held = std::move(next);
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

// AllocateAndInitializeSid: a SID of up to 8 sub-authorities, freed with FreeSid. On 95/98/Me:
// ERROR_CALL_NOT_IMPLEMENTED as there.
BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority, BYTE nSubAuthorityCount,
                                     DWORD nSubAuthority0, DWORD nSubAuthority1, DWORD nSubAuthority2,
                                     DWORD nSubAuthority3, DWORD nSubAuthority4, DWORD nSubAuthority5,
                                     DWORD nSubAuthority6, DWORD nSubAuthority7, PSID *pSid)
{
    if (!IsNt())
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (!pIdentifierAuthority || !pSid)
        return plat::Fail(ERROR_NOACCESS);
    if (nSubAuthorityCount > kMaxAllocatedSubAuthorities)
        return plat::Fail(ERROR_INVALID_SID);
    const DWORD subs[kMaxAllocatedSubAuthorities] = {nSubAuthority0, nSubAuthority1, nSubAuthority2,
                                                     nSubAuthority3, nSubAuthority4, nSubAuthority5,
                                                     nSubAuthority6, nSubAuthority7};
    const size_t size = offsetof(SID, SubAuthority) + sizeof(DWORD) * nSubAuthorityCount;
    auto *sid = static_cast<SID *>(std::calloc(1, std::max(size, sizeof(SID))));
    if (!sid)
        return plat::Fail(ERROR_NOT_ENOUGH_MEMORY);
    sid->Revision = SID_REVISION;
    sid->SubAuthorityCount = nSubAuthorityCount;
    sid->IdentifierAuthority = *pIdentifierAuthority;
    std::memcpy(reinterpret_cast<BYTE *>(sid) + offsetof(SID, SubAuthority), subs,
                sizeof(DWORD) * nSubAuthorityCount);
    *pSid = sid;
    return TRUE;
}

// FreeSid: frees a SID from AllocateAndInitializeSid; returns NULL.
PVOID WINAPI FreeSid(PSID pSid)
{
    std::free(pSid);
    return nullptr;
}

// IsValidSid: revision 1 and at most 15 sub-authorities.
BOOL WINAPI IsValidSid(PSID pSid)
{
    const SID *sid = AsSid(pSid);
    return sid && sid->Revision == SID_REVISION && sid->SubAuthorityCount <= SID_MAX_SUB_AUTHORITIES;
}

// GetLengthSid: the SID's size in bytes (not validated, as on Windows).
DWORD WINAPI GetLengthSid(PSID pSid)
{
    const SID *sid = AsSid(pSid);
    return sid ? static_cast<DWORD>(offsetof(SID, SubAuthority) + sizeof(DWORD) * sid->SubAuthorityCount) : 0;
}

// EqualSid: byte equality of two valid SIDs; sets ERROR_SUCCESS whatever the answer, as Windows.
BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2)
{
    const bool equal = IsValidSid(pSid1) && IsValidSid(pSid2) && GetLengthSid(pSid1) == GetLengthSid(pSid2) &&
                       std::memcmp(pSid1, pSid2, GetLengthSid(pSid1)) == 0;
    SetLastError(ERROR_SUCCESS);
    return equal;
}

// GetSidSubAuthority: the address of a sub-authority (not checked against the count, as Windows).
PDWORD WINAPI GetSidSubAuthority(PSID pSid, DWORD nSubAuthority)
{
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<PDWORD>(static_cast<BYTE *>(pSid) + offsetof(SID, SubAuthority)) + nSubAuthority;
}

// GetSidSubAuthorityCount: the address of the sub-authority count.
UCHAR *WINAPI GetSidSubAuthorityCount(PSID pSid)
{
    SetLastError(ERROR_SUCCESS);
    return &static_cast<SID *>(pSid)->SubAuthorityCount;
}

// GetSidIdentifierAuthority: the address of the identifier authority.
PSID_IDENTIFIER_AUTHORITY WINAPI GetSidIdentifierAuthority(PSID pSid)
{
    SetLastError(ERROR_SUCCESS);
    return &static_cast<SID *>(pSid)->IdentifierAuthority;
}

// LookupPrivilegeValueA: Windows' LUID of a privilege name ("SeShutdownPrivilege" -> 19), names
// compared without case; unknown: ERROR_NO_SUCH_PRIVILEGE. Only this computer is known (another
// name: RPC_S_SERVER_UNAVAILABLE); 95/98/Me: ERROR_CALL_NOT_IMPLEMENTED.
BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid)
{
    if (!IsNt())
        return plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (!lpName || !lpLuid)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    if (!plat::IsLocalComputerName(lpSystemName))
        return plat::Fail(RPC_S_SERVER_UNAVAILABLE);
    for (const PrivilegeName &privilege : kPrivilegeNames)
    {
        if (plat::EqualNoCase(lpName, privilege.name))
        {
            *lpLuid = LUID{privilege.luid, 0};
            return TRUE;
        }
    }
    return plat::Fail(ERROR_NO_SUCH_PRIVILEGE);
}
