// CSerialPort and CSerialException.
#include "comun/SerialPort.h"

#include <cstdio>
#include <cstring>

IMPLEMENT_DYNAMIC(CSerialException, CException)
IMPLEMENT_DYNAMIC(CSerialPort, CObject)

namespace
{
// Characters of a command sent one at a time with the echo option: how often each is tried.
constexpr int kEchoAttempts = 5;
// Bytes asked for by each read that collects an answer.
constexpr DWORD kAnswerChunk = 50;
// The most of an answer collected: a device that never falls silent does not hold the caller
// for ever (at 9600 baud this is some 17 seconds of talk).
constexpr int kMaxAnswer = 16384;

bool TracingAsked()
{
    return GetEnvironmentVariableA("DEBUG_ADSL", nullptr, 0) != 0;
}

// The device name of a port: "\\.\COMn" (so ports above 9 open the same way).
CString PortDevice(int nPort)
{
    CString device;
    device.Format("\\\\.\\COM%d", nPort);
    return device;
}

CString PortName(int nPort)
{
    CString name;
    name.Format("COM%d", nPort);
    return name;
}

void Check(BOOL bOk)
{
    if (!bOk)
        AfxThrowSerialException();
}

// A pending overlapped operation is not a failure.
void CheckOverlapped(BOOL bOk)
{
    if (!bOk && GetLastError() != ERROR_IO_PENDING)
        AfxThrowSerialException();
}

void SetParity(DCB &dcb, CSerialPort::Parity parity)
{
    switch (parity)
    {
    case CSerialPort::EvenParity:
        dcb.Parity = EVENPARITY;
        break;
    case CSerialPort::MarkParity:
        dcb.Parity = MARKPARITY;
        break;
    case CSerialPort::NoParity:
        dcb.Parity = NOPARITY;
        break;
    case CSerialPort::OddParity:
        dcb.Parity = ODDPARITY;
        break;
    case CSerialPort::SpaceParity:
        dcb.Parity = SPACEPARITY;
        break;
    }
}

void SetStopBits(DCB &dcb, CSerialPort::StopBits stopbits)
{
    switch (stopbits)
    {
    case CSerialPort::OneStopBit:
        dcb.StopBits = ONESTOPBIT;
        break;
    case CSerialPort::OnePointFiveStopBits:
        dcb.StopBits = ONE5STOPBITS;
        break;
    case CSerialPort::TwoStopBits:
        dcb.StopBits = TWOSTOPBITS;
        break;
    }
}

void SetFlowControl(DCB &dcb, CSerialPort::FlowControl fc)
{
    auto handshake = [&dcb](bool cts, bool dsr, bool dtr, bool rts) {
        dcb.fOutxCtsFlow = cts;
        dcb.fOutxDsrFlow = dsr;
        if (dtr)
            dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
        if (rts)
            dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
    };
    switch (fc)
    {
    case CSerialPort::NoFlowControl:
        handshake(false, false, false, false);
        break;
    case CSerialPort::CtsRtsFlowControl:
        handshake(true, false, false, true);
        break;
    case CSerialPort::CtsDtrFlowControl:
        handshake(true, false, true, false);
        break;
    case CSerialPort::DsrRtsFlowControl:
        handshake(false, true, false, true);
        break;
    case CSerialPort::DsrDtrFlowControl:
        handshake(false, true, true, false);
        break;
    case CSerialPort::XonXoffFlowControl:
        handshake(false, false, false, false);
        dcb.fOutX = TRUE;
        dcb.fInX = TRUE;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        dcb.XoffLim = 100;
        dcb.XonLim = 100;
        break;
    }
}

// Where a text occurs in the answer, case-sensitively.
bool Holds(const CString &answer, LPCSTR pszText)
{
    return answer.Find(pszText) >= 0;
}
} // namespace

// --- CSerialException ---------------------------------------------------------------------------

CSerialException::CSerialException(DWORD dwError) : m_dwError(dwError) {}

CSerialException::~CSerialException() = default;

BOOL CSerialException::GetErrorMessage(LPSTR lpstrError, UINT nMaxError, PUINT pnHelpContext)
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    LPSTR pszText = nullptr;
    const DWORD dwChars = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                                         m_dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT),
                                         reinterpret_cast<LPSTR>(&pszText), 0, nullptr);
    if (dwChars == 0)
    {
        if (lpstrError && nMaxError > 0)
            *lpstrError = '\0';
        return FALSE;
    }
    lstrcpynA(lpstrError, pszText, static_cast<int>(nMaxError));
    LocalFree(pszText);
    return TRUE;
}

CString CSerialException::GetErrorMessage()
{
    CString text;
    GetErrorMessage(text.GetBuffer(4096), 4096);
    text.ReleaseBuffer();
    return text;
}

void AfxThrowSerialException(DWORD dwError)
{
    if (dwError == 0)
        dwError = GetLastError();
    throw new CSerialException(dwError);
}

// --- Opening and the handle ---------------------------------------------------------------------

CSerialPort::CSerialPort() : m_hComm(INVALID_HANDLE_VALUE), m_bOverlapped(FALSE) {}

CSerialPort::~CSerialPort()
{
    SetLog(FALSE, 0);
    Close();
}

void CSerialPort::Open(int nPort, DWORD dwBaud, Parity parity, BYTE DataBits, StopBits stopbits,
                       FlowControl fc, BOOL bOverlapped)
{
    // A port already open is closed first, so that its handle is not lost.
    Close();
    HANDLE hComm = CreateFileA(PortDevice(nPort), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               bOverlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (hComm == INVALID_HANDLE_VALUE)
        AfxThrowSerialException();
    m_hComm = hComm;
    m_bOverlapped = bOverlapped;

    DCB dcb;
    GetState(dcb);
    dcb.BaudRate = dwBaud;
    SetParity(dcb, parity);
    dcb.ByteSize = DataBits;
    SetStopBits(dcb, stopbits);
    dcb.fDsrSensitivity = FALSE;
    SetFlowControl(dcb, fc);
    SetState(dcb);
}

void CSerialPort::Close()
{
    if (!IsOpen())
        return;
    CloseHandle(m_hComm);
    m_hComm = INVALID_HANDLE_VALUE;
    m_bOverlapped = FALSE;
}

void CSerialPort::Attach(HANDLE hComm)
{
    Close();
    m_hComm = hComm;
}

HANDLE CSerialPort::Detach()
{
    HANDLE hComm = m_hComm;
    m_hComm = INVALID_HANDLE_VALUE;
    return hComm;
}

// --- Reading and writing ------------------------------------------------------------------------

DWORD CSerialPort::Read(void *lpBuf, DWORD dwCount)
{
    DWORD dwRead = 0;
    Check(ReadFile(m_hComm, lpBuf, dwCount, &dwRead, nullptr));
    Log(lpBuf, dwRead);
    return dwRead;
}

BOOL CSerialPort::Read(void *lpBuf, DWORD dwCount, OVERLAPPED &overlapped)
{
    DWORD dwRead = 0;
    const BOOL bDone = ReadFile(m_hComm, lpBuf, dwCount, &dwRead, &overlapped);
    CheckOverlapped(bDone);
    if (bDone)
        Log(lpBuf, dwRead);
    return bDone;
}

DWORD CSerialPort::Write(const void *lpBuf, DWORD dwCount)
{
    DWORD dwWritten = 0;
    Check(WriteFile(m_hComm, lpBuf, dwCount, &dwWritten, nullptr));
    Log(lpBuf, dwWritten);
    return dwWritten;
}

BOOL CSerialPort::Write(const void *lpBuf, DWORD dwCount, OVERLAPPED &overlapped)
{
    DWORD dwWritten = 0;
    const BOOL bDone = WriteFile(m_hComm, lpBuf, dwCount, &dwWritten, &overlapped);
    CheckOverlapped(bDone);
    if (bDone)
        Log(lpBuf, dwWritten);
    return bDone;
}

void CSerialPort::ReadEx(void *lpBuf, DWORD dwCount)
{
    auto *pOverlapped = new OVERLAPPED{};
    pOverlapped->hEvent = this; // how the completion routine finds the object
    if (!ReadFileEx(m_hComm, lpBuf, dwCount, pOverlapped, _OnCompletion))
    {
        delete pOverlapped;
        AfxThrowSerialException();
    }
}

void CSerialPort::WriteEx(const void *lpBuf, DWORD dwCount)
{
    auto *pOverlapped = new OVERLAPPED{};
    pOverlapped->hEvent = this;
    if (!WriteFileEx(m_hComm, lpBuf, dwCount, pOverlapped, _OnCompletion))
    {
        delete pOverlapped;
        AfxThrowSerialException();
    }
}

void WINAPI CSerialPort::_OnCompletion(DWORD dwErrorCode, DWORD dwCount, LPOVERLAPPED lpOverlapped)
{
    auto *pPort = static_cast<CSerialPort *>(lpOverlapped->hEvent);
    pPort->OnCompletion(dwErrorCode, dwCount, lpOverlapped);
}

void CSerialPort::OnCompletion(DWORD, DWORD, LPOVERLAPPED lpOverlapped)
{
    delete lpOverlapped;
}

void CSerialPort::TransmitChar(char cChar)
{
    Check(TransmitCommChar(m_hComm, cChar));
}

void CSerialPort::GetOverlappedResult(OVERLAPPED &overlapped, DWORD &dwBytesTransferred, BOOL bWait)
{
    CheckOverlapped(::GetOverlappedResult(m_hComm, &overlapped, &dwBytesTransferred, bWait));
}

void CSerialPort::CancelIo()
{
    // Not every Windows has CancelIo: it is looked up, not linked.
    using PfnCancelIo = BOOL(WINAPI *)(HANDLE);
    HMODULE hKernel32 = LoadLibraryA("KERNEL32.DLL");
    if (!hKernel32)
        AfxThrowSerialException();
    auto pfnCancelIo =
        reinterpret_cast<PfnCancelIo>(reinterpret_cast<void *>(GetProcAddress(hKernel32, "CancelIo")));
    if (!pfnCancelIo)
    {
        FreeLibrary(hKernel32);
        AfxThrowSerialException(ERROR_CALL_NOT_IMPLEMENTED);
    }
    const BOOL bOk = pfnCancelIo(m_hComm);
    const DWORD dwError = GetLastError();
    FreeLibrary(hKernel32);
    if (!bOk)
        AfxThrowSerialException(dwError);
}

// --- Configuration, state and control -----------------------------------------------------------

void CSerialPort::GetConfig(COMMCONFIG &config)
{
    DWORD dwSize = sizeof(COMMCONFIG);
    Check(GetCommConfig(m_hComm, &config, &dwSize));
}

void CSerialPort::SetConfig(COMMCONFIG &config)
{
    Check(SetCommConfig(m_hComm, &config, sizeof(COMMCONFIG)));
}

void CSerialPort::GetDefaultConfig(int nPort, COMMCONFIG &config)
{
    DWORD dwSize = sizeof(COMMCONFIG);
    Check(GetDefaultCommConfigA(PortName(nPort), &config, &dwSize));
}

void CSerialPort::SetDefaultConfig(int nPort, COMMCONFIG &config)
{
    Check(SetDefaultCommConfigA(PortName(nPort), &config, sizeof(COMMCONFIG)));
}

void CSerialPort::ClearBreak()
{
    Check(ClearCommBreak(m_hComm));
}

void CSerialPort::SetBreak()
{
    Check(SetCommBreak(m_hComm));
}

void CSerialPort::ClearError(DWORD &dwErrors)
{
    Check(ClearCommError(m_hComm, &dwErrors, nullptr));
}

void CSerialPort::GetStatus(COMSTAT &stat)
{
    DWORD dwErrors = 0;
    Check(ClearCommError(m_hComm, &dwErrors, &stat));
}

void CSerialPort::GetState(DCB &dcb)
{
    Check(GetCommState(m_hComm, &dcb));
}

void CSerialPort::SetState(DCB &dcb)
{
    Check(SetCommState(m_hComm, &dcb));
}

void CSerialPort::Escape(DWORD dwFunc)
{
    Check(EscapeCommFunction(m_hComm, dwFunc));
}

void CSerialPort::ClearDTR()
{
    Escape(CLRDTR);
}

void CSerialPort::ClearRTS()
{
    Escape(CLRRTS);
}

void CSerialPort::SetDTR()
{
    Escape(SETDTR);
}

void CSerialPort::SetRTS()
{
    Escape(SETRTS);
}

void CSerialPort::SetXOFF()
{
    Escape(SETXOFF);
}

void CSerialPort::SetXON()
{
    Escape(SETXON);
}

void CSerialPort::GetProperties(COMMPROP &properties)
{
    Check(GetCommProperties(m_hComm, &properties));
}

void CSerialPort::GetModemStatus(DWORD &dwModemStatus)
{
    Check(GetCommModemStatus(m_hComm, &dwModemStatus));
}

void CSerialPort::SetMask(DWORD dwMask)
{
    Check(SetCommMask(m_hComm, dwMask));
}

void CSerialPort::GetMask(DWORD &dwMask)
{
    Check(GetCommMask(m_hComm, &dwMask));
}

void CSerialPort::WaitEvent(DWORD &dwMask)
{
    Check(WaitCommEvent(m_hComm, &dwMask, nullptr));
}

void CSerialPort::WaitEvent(DWORD &dwMask, OVERLAPPED &overlapped)
{
    CheckOverlapped(WaitCommEvent(m_hComm, &dwMask, &overlapped));
}

void CSerialPort::Flush()
{
    Check(FlushFileBuffers(m_hComm));
}

void CSerialPort::Purge(DWORD dwFlags)
{
    Check(PurgeComm(m_hComm, dwFlags));
}

void CSerialPort::TerminateOutstandingWrites()
{
    Purge(PURGE_TXABORT);
}

void CSerialPort::TerminateOutstandingReads()
{
    Purge(PURGE_RXABORT);
}

void CSerialPort::ClearWriteBuffer()
{
    Purge(PURGE_TXCLEAR);
}

void CSerialPort::ClearReadBuffer()
{
    Purge(PURGE_RXCLEAR);
}

void CSerialPort::Setup(DWORD dwInQueue, DWORD dwOutQueue)
{
    Check(SetupComm(m_hComm, dwInQueue, dwOutQueue));
}

void CSerialPort::SetTimeouts(COMMTIMEOUTS &timeouts)
{
    Check(SetCommTimeouts(m_hComm, &timeouts));
}

void CSerialPort::GetTimeouts(COMMTIMEOUTS &timeouts)
{
    Check(GetCommTimeouts(m_hComm, &timeouts));
}

void CSerialPort::Set0Timeout()
{
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    SetTimeouts(timeouts);
}

void CSerialPort::Set0WriteTimeout()
{
    COMMTIMEOUTS timeouts;
    GetTimeouts(timeouts);
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    SetTimeouts(timeouts);
}

void CSerialPort::Set0ReadTimeout()
{
    COMMTIMEOUTS timeouts;
    GetTimeouts(timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    SetTimeouts(timeouts);
}

// --- Dialogue -----------------------------------------------------------------------------------

bool CSerialPort::SendAndCollect(LPCSTR pszCommand, int nDelay, BOOL bEcho, CString &answer)
{
    SetMask(EV_TXEMPTY);
    ClearReadBuffer();
    const DWORD dwLength = static_cast<DWORD>(std::strlen(pszCommand));
    if (nDelay == 0)
        Write(pszCommand, dwLength);
    else
        for (DWORD i = 0; i < dwLength; ++i)
        {
            if (!bEcho)
            {
                Write(pszCommand + i, 1);
                Sleep(static_cast<DWORD>(nDelay));
                continue;
            }
            bool bEchoed = false;
            for (int attempt = 0; attempt < kEchoAttempts && !bEchoed; ++attempt)
            {
                Write(pszCommand + i, 1);
                Sleep(static_cast<DWORD>(nDelay));
                char cEcho = 0;
                bEchoed = Read(&cEcho, 1) == 1;
            }
            if (!bEchoed)
                return false;
        }
    // Until the command has left the port. Nothing sent, nothing to wait for: the event would
    // never come.
    if (dwLength > 0)
    {
        DWORD dwEvent = 0;
        WaitEvent(dwEvent);
    }
    char chunk[kAnswerChunk];
    for (DWORD dwRead; answer.GetLength() < kMaxAnswer && (dwRead = Read(chunk, kAnswerChunk)) != 0;)
    {
        // A chunk with a zero byte counts up to it, padded on the left to the chunk's length.
        CString piece;
        piece.Format("%*.*s", static_cast<int>(dwRead), static_cast<int>(dwRead), chunk);
        answer += piece;
    }
    return true;
}

int CSerialPort::WaitForAnswer(LPCSTR pszCommand, LPCSTR pszExpected, LPCSTR pszError, int nDelay, BOOL bEcho)
{
    CString answer;
    if (!SendAndCollect(pszCommand, nDelay, bEcho, answer))
        return 0;
    int nResult = 0;
    if (pszError && *pszError && Holds(answer, pszError))
        nResult = -1;
    else if (pszExpected && *pszExpected && Holds(answer, pszExpected))
        nResult = 1;
    m_strReceived = answer;
    return nResult;
}

#ifdef SERIALPORT_ANSWER_LISTS
int CSerialPort::WaitForAnswer(LPCSTR pszCommand, CStringList &expected, CStringList &errors, int nDelay,
                               BOOL bEcho)
{
    CString answer;
    if (!SendAndCollect(pszCommand, nDelay, bEcho, answer))
        return 0;
    m_strReceived = answer;
    int nPosition = 1;
    for (POSITION pos = errors.GetHeadPosition(); pos; ++nPosition)
        if (Holds(answer, errors.GetNext(pos)))
            return -nPosition;
    nPosition = 1;
    for (POSITION pos = expected.GetHeadPosition(); pos; ++nPosition)
        if (Holds(answer, expected.GetNext(pos)))
            return nPosition;
    return 0;
}
#endif

// --- Debug trace --------------------------------------------------------------------------------

void CSerialPort::SetLog(BOOL bOn, UINT nOpenFlags)
{
    if (!TracingAsked())
        return;
    if (!bOn)
    {
        m_fileLog.Abort();
        return;
    }
    char szTemp[MAX_PATH] = "";
    GetTempPathA(sizeof szTemp, szTemp);
    CString path;
    path.Format("%smodempak.log", szTemp);
    if (m_fileLog.Open(path, nOpenFlags))
    {
        try
        {
            m_fileLog.SeekToEnd();
        }
        catch (CFileException *e)
        {
            e->Delete();
        }
    }
}

void CSerialPort::Log(const void *lpData, DWORD dwCount)
{
    if (!TracingAsked() || m_fileLog.m_hFile == CFile::hFileNull || dwCount == 0)
        return;
    try
    {
        m_fileLog.Write(lpData, dwCount);
    }
    catch (CFileException *e)
    {
        e->Delete();
    }
}
