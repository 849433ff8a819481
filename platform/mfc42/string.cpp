// CString and CStringList.
#include "platform/afx.h"
#ifndef _WIN32
#include "platform/core/text.h"
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

// --- CString ------------------------------------------------------------------------------------

CString &CString::operator=(LPCSTR psz)
{
    m_text = psz ? psz : "";
    return *this;
}

CString &CString::operator=(char ch)
{
    m_text.assign(1, ch);
    return *this;
}

CString &CString::operator+=(const CString &s)
{
    m_text += s.m_text;
    return *this;
}

CString &CString::operator+=(LPCSTR psz)
{
    if (psz)
        m_text += psz;
    return *this;
}

CString &CString::operator+=(char ch)
{
    m_text += ch;
    return *this;
}

CString operator+(const CString &a, const CString &b)
{
    CString r(a);
    return r += b;
}

CString operator+(const CString &a, LPCSTR b)
{
    CString r(a);
    return r += b;
}

CString operator+(LPCSTR a, const CString &b)
{
    CString r(a);
    return r += b;
}

CString operator+(const CString &a, char b)
{
    CString r(a);
    return r += b;
}

int CString::Compare(LPCSTR psz) const
{
    const int c = std::strcmp(m_text.c_str(), psz ? psz : "");
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int CString::CompareNoCase(LPCSTR psz) const
{
    return lstrcmpiA(m_text.c_str(), psz ? psz : "");
}

CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, GetLength());
}

CString CString::Mid(int nFirst, int nCount) const
{
    nFirst = std::clamp(nFirst, 0, GetLength());
    nCount = std::clamp(nCount, 0, GetLength() - nFirst);
    return CString(m_text.c_str() + nFirst, nCount);
}

CString CString::Left(int nCount) const
{
    return Mid(0, nCount);
}

CString CString::Right(int nCount) const
{
    nCount = std::clamp(nCount, 0, GetLength());
    return Mid(GetLength() - nCount, nCount);
}

int CString::Find(char ch, int nStart) const
{
    if (nStart < 0 || nStart > GetLength())
        return -1;
    const size_t at = m_text.find(ch, static_cast<size_t>(nStart));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(LPCSTR pszSub, int nStart) const
{
    if (!pszSub || nStart < 0 || nStart > GetLength())
        return -1;
    const size_t at = m_text.find(pszSub, static_cast<size_t>(nStart));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const
{
    const size_t at = m_text.rfind(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

void CString::MakeUpper()
{
#ifdef _WIN32
    CharUpperBuffA(m_text.data(), static_cast<DWORD>(m_text.size()));
#else
    m_text = plat::Upper1252(m_text);
#endif
}

void CString::MakeLower()
{
#ifdef _WIN32
    CharLowerBuffA(m_text.data(), static_cast<DWORD>(m_text.size()));
#else
    m_text = plat::Lower1252(m_text);
#endif
}

void CString::TrimLeft()
{
    m_text.erase(0, m_text.find_first_not_of(" \t\r\n"));
}

void CString::TrimRight()
{
    const size_t last = m_text.find_last_not_of(" \t\r\n");
    m_text.erase(last == std::string::npos ? 0 : last + 1);
}

int CString::Replace(LPCSTR pszOld, LPCSTR pszNew)
{
    if (!pszOld || !*pszOld)
        return 0;
    const std::string from(pszOld), to(pszNew ? pszNew : "");
    int count = 0;
    for (size_t at = m_text.find(from); at != std::string::npos; at = m_text.find(from, at + to.size()))
    {
        m_text.replace(at, from.size(), to);
        ++count;
    }
    return count;
}

void CString::Format(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(LPCSTR pszFormat, va_list args)
{
    va_list count;
    va_copy(count, args);
    const int n = std::vsnprintf(nullptr, 0, pszFormat, count);
    va_end(count);
    if (n < 0)
    {
        m_text.clear();
        return;
    }
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), pszFormat, args);
    text.resize(static_cast<size_t>(n));
    m_text = std::move(text);
}

LPSTR CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength > GetLength())
        m_text.resize(static_cast<size_t>(nMinBufLength));
    return m_text.data();
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = static_cast<int>(std::strlen(m_text.c_str()));
    m_text.resize(static_cast<size_t>(std::min(nNewLength, GetLength())));
}

// --- CStringList --------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CStringList, CObject)

struct CStringList::Node
{
    CString data;
    Node *next = nullptr;
    Node *prev = nullptr;
};

namespace
{
template <class Node> Node *NodeOf(POSITION position)
{
    return reinterpret_cast<Node *>(position);
}
template <class Node> POSITION PositionOf(Node *node)
{
    return reinterpret_cast<POSITION>(node);
}
} // namespace

CStringList::~CStringList()
{
    RemoveAll();
}

POSITION CStringList::AddHead(LPCSTR newElement)
{
    Node *node = new Node{newElement, m_pHead, nullptr};
    (m_pHead ? m_pHead->prev : m_pTail) = node;
    m_pHead = node;
    ++m_nCount;
    return PositionOf(node);
}

POSITION CStringList::AddTail(LPCSTR newElement)
{
    Node *node = new Node{newElement, nullptr, m_pTail};
    (m_pTail ? m_pTail->next : m_pHead) = node;
    m_pTail = node;
    ++m_nCount;
    return PositionOf(node);
}

void CStringList::RemoveAll()
{
    while (m_pHead)
        delete std::exchange(m_pHead, m_pHead->next);
    m_pTail = nullptr;
    m_nCount = 0;
}

CString &CStringList::GetHead()
{
    return m_pHead->data;
}

CString &CStringList::GetTail()
{
    return m_pTail->data;
}

CString CStringList::RemoveHead()
{
    CString value = m_pHead->data;
    RemoveAt(PositionOf(m_pHead));
    return value;
}

CString CStringList::RemoveTail()
{
    CString value = m_pTail->data;
    RemoveAt(PositionOf(m_pTail));
    return value;
}

POSITION CStringList::GetHeadPosition() const
{
    return PositionOf(m_pHead);
}

POSITION CStringList::GetTailPosition() const
{
    return PositionOf(m_pTail);
}

CString &CStringList::GetNext(POSITION &rPosition)
{
    Node *node = NodeOf<Node>(rPosition);
    rPosition = PositionOf(node->next);
    return node->data;
}

CString &CStringList::GetPrev(POSITION &rPosition)
{
    Node *node = NodeOf<Node>(rPosition);
    rPosition = PositionOf(node->prev);
    return node->data;
}

CString &CStringList::GetAt(POSITION position)
{
    return NodeOf<Node>(position)->data;
}

void CStringList::RemoveAt(POSITION position)
{
    Node *node = NodeOf<Node>(position);
    (node->prev ? node->prev->next : m_pHead) = node->next;
    (node->next ? node->next->prev : m_pTail) = node->prev;
    delete node;
    --m_nCount;
}

POSITION CStringList::Find(LPCSTR searchValue, POSITION startAfter) const
{
    Node *node = startAfter ? NodeOf<Node>(startAfter)->next : m_pHead;
    for (; node; node = node->next)
        if (node->data == (searchValue ? searchValue : ""))
            return PositionOf(node);
    return nullptr;
}
