// CNicList: the PC's network adapters, whatever its Windows family. Load picks the list of the
// family (CNicList9x, CNicListNT4, CNicList2000) from GetWindowsVersionCode and fills it; every
// other operation goes to that list, or gives E_FAIL before a successful Load. The operations
// on one adapter apply to the record at the current position (First, Last, Next, Prev, Find).
#pragma once

#include "tcpip/NicTcpip.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Windows version codes of GetWindowsVersionCode.
enum WindowsVersionCode : LONG
{
    WINVER_CODE_UNKNOWN = 0,
    WINVER_CODE_95 = 1,
    WINVER_CODE_98 = 2,
    WINVER_CODE_98SE = 3,
    WINVER_CODE_ME = 4,
    WINVER_CODE_NT4 = 5,
    WINVER_CODE_2000 = 6,
    WINVER_CODE_XP = 7,
};

// The PC's Windows as a code: S_OK with the code (0 when unknown), or the platform's last error
// as an HRESULT when the version cannot be asked.
HRESULT GetWindowsVersionCode(LONG &lCode);

// What the lists of each family share: the records in enumeration order, the current position,
// and the display names of every adapter that passed the family's presence filter.
class CNicListOs
{
  public:
    CNicListOs() = default;
    virtual ~CNicListOs() = default;
    CNicListOs(const CNicListOs &) = delete;
    CNicListOs &operator=(const CNicListOs &) = delete;

    virtual HRESULT First();
    virtual HRESULT Last();
    virtual HRESULT Next();
    virtual HRESULT Prev();
    // E_INVALIDARG for an empty name; E_FAIL when no display name equals it exactly (case
    // counts), the current position then staying where it was.
    virtual HRESULT Find(const std::string &name);
    virtual HRESULT Load() = 0;

    // The current record, its settings read; nullptr when the list is empty.
    CNicTcpip *Current() const;
    // The display names of every accepted adapter, whether or not its settings could be read.
    virtual HRESULT GetNameList(std::vector<std::string> &names) const;

  protected:
    // Empties both lists.
    void Clear();
    // "{N} <description>" for the next accepted adapter: N is one more than the names accepted
    // so far. Empty for an empty description.
    std::string NextDisplayName(const std::string &description) const;
    // The adapter counts: its name joins the display-name list.
    void AcceptName(const std::string &displayName);
    // Keeps the record when it can be read. Its settings are read when it is first the current
    // record: a job that wants one adapter of many does not read them all.
    void AddRecord(std::unique_ptr<CNicTcpip> record, const std::string &displayName, const std::string &key);

    std::vector<std::unique_ptr<CNicTcpip>> m_records;
    mutable std::vector<bool> m_read; // per record: its settings were read
    std::vector<std::string> m_names;
    size_t m_current = 0;
};

class CNicList9x final : public CNicListOs
{
  public:
    HRESULT Load() override;
};

// What NT 4 and 2000/XP share: the walk of the network cards key.
class CNicListNT : public CNicListOs
{
  protected:
    // The cards of "NetworkCards" in enumeration order, hidden ones left out, and those whose
    // device cannot be opened when `presentOnly`; E_FAIL without the key.
    HRESULT LoadNetworkCards(bool presentOnly, const std::function<std::unique_ptr<CNicTcpip>()> &newRecord);
};

class CNicListNT4 final : public CNicListNT
{
  public:
    HRESULT Load() override;
};

class CNicList2000 final : public CNicListNT
{
  public:
    HRESULT Load() override;
};

class CNicList
{
  public:
    CNicList() = default;
    CNicList(const CNicList &) = delete;
    CNicList &operator=(const CNicList &) = delete;

    HRESULT First();
    HRESULT Last();
    HRESULT Next();
    HRESULT Prev();
    HRESULT Find(const std::string &name);
    HRESULT Load();

    // The record at the current position, for the setters and getters of CNicTcpip; nullptr
    // without a list or on an empty one.
    CNicTcpip *Current() const;
    HRESULT GetNameList(std::vector<std::string> &names) const;

  private:
    template <class Operation> HRESULT Forward(Operation operation) const;

    std::unique_ptr<CNicListOs> m_list;
};
