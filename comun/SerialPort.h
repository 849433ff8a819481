// CSerialPort: a Windows communications port (COM1, COM2...) opened with a line setting, read
// and written synchronously or overlapped, its configuration, state and control calls one to
// one, and WaitForAnswer: send a command, collect what the device answers until it falls
// silent, and classify the answer by the texts it holds. Every failing call throws a
// CSerialException (by pointer, MFC's way: the catcher calls Delete) holding the Windows error.
//
// With the environment variable DEBUG_ADSL defined, SetLog copies every byte read and written
// to "modempak.log" in the temporary folder.
//
// QelComun exports these classes. The modem module compiles the same source into itself with
// SERIALPORT_ANSWER_LISTS defined, which adds the form of WaitForAnswer that takes lists of
// answers, and SERIALPORT_API defined empty, so that its copy stays inside the module.
#pragma once

#include "comun/Export.h"
#include "platform/afx.h"

#ifndef SERIALPORT_API
#define SERIALPORT_API QELCOMUN_API
#endif

class SERIALPORT_API CSerialException : public CException
{
    DECLARE_DYNAMIC(CSerialException)
  public:
    explicit CSerialException(DWORD dwError = 0);
    ~CSerialException() override;

    // The system's text of the error in the system's default language; FALSE (and an empty
    // buffer) when the system has none.
    BOOL GetErrorMessage(LPSTR lpstrError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
    CString GetErrorMessage();

    DWORD m_dwError;
};

// Throws a new CSerialException with the error (0: the calling thread's last error).
SERIALPORT_API void AfxThrowSerialException(DWORD dwError = 0);

class SERIALPORT_API CSerialPort : public CObject
{
    DECLARE_DYNAMIC(CSerialPort)
  public:
    enum FlowControl
    {
        NoFlowControl,
        CtsRtsFlowControl,
        CtsDtrFlowControl,
        DsrRtsFlowControl,
        DsrDtrFlowControl,
        XonXoffFlowControl
    };
    enum Parity
    {
        EvenParity,
        MarkParity,
        NoParity,
        OddParity,
        SpaceParity
    };
    enum StopBits
    {
        OneStopBit,
        OnePointFiveStopBits,
        TwoStopBits
    };

    CSerialPort();
    ~CSerialPort() override;
    CSerialPort(const CSerialPort &) = delete;
    CSerialPort &operator=(const CSerialPort &) = delete;

    // Opening and the handle.
    void Open(int nPort, DWORD dwBaud = 9600, Parity parity = NoParity, BYTE DataBits = 8,
              StopBits stopbits = OneStopBit, FlowControl fc = NoFlowControl, BOOL bOverlapped = FALSE);
    void Close();
    void Attach(HANDLE hComm);
    HANDLE Detach();
    operator HANDLE() const { return m_hComm; }
    BOOL IsOpen() const { return m_hComm != INVALID_HANDLE_VALUE; }

    // Reading and writing.
    DWORD Read(void *lpBuf, DWORD dwCount);
    BOOL Read(void *lpBuf, DWORD dwCount, OVERLAPPED &overlapped);
    void ReadEx(void *lpBuf, DWORD dwCount);
    DWORD Write(const void *lpBuf, DWORD dwCount);
    BOOL Write(const void *lpBuf, DWORD dwCount, OVERLAPPED &overlapped);
    void WriteEx(const void *lpBuf, DWORD dwCount);
    void TransmitChar(char cChar);
    void GetOverlappedResult(OVERLAPPED &overlapped, DWORD &dwBytesTransferred, BOOL bWait);
    void CancelIo();

    // Configuration, state and control.
    void GetConfig(COMMCONFIG &config);
    static void GetDefaultConfig(int nPort, COMMCONFIG &config);
    void SetConfig(COMMCONFIG &config);
    static void SetDefaultConfig(int nPort, COMMCONFIG &config);
    void ClearBreak();
    void SetBreak();
    void ClearError(DWORD &dwErrors);
    void GetStatus(COMSTAT &stat);
    void GetState(DCB &dcb);
    void SetState(DCB &dcb);
    void Escape(DWORD dwFunc);
    void ClearDTR();
    void ClearRTS();
    void SetDTR();
    void SetRTS();
    void SetXOFF();
    void SetXON();
    void GetProperties(COMMPROP &properties);
    void GetModemStatus(DWORD &dwModemStatus);
    void SetMask(DWORD dwMask);
    void GetMask(DWORD &dwMask);
    void WaitEvent(DWORD &dwMask);
    void WaitEvent(DWORD &dwMask, OVERLAPPED &overlapped);
    void Flush();
    void Purge(DWORD dwFlags);
    void TerminateOutstandingWrites();
    void TerminateOutstandingReads();
    void ClearWriteBuffer();
    void ClearReadBuffer();
    void Setup(DWORD dwInQueue, DWORD dwOutQueue);
    void SetTimeouts(COMMTIMEOUTS &timeouts);
    void GetTimeouts(COMMTIMEOUTS &timeouts);
    void Set0Timeout();
    void Set0WriteTimeout();
    void Set0ReadTimeout();

    // Sends the command and classifies what comes back: -1 when the answer holds the error
    // text, 1 when it holds the expected text, 0 otherwise (or when an echo never came).
    int WaitForAnswer(LPCSTR pszCommand, LPCSTR pszExpected, LPCSTR pszError, int nDelay, BOOL bEcho);
#ifdef SERIALPORT_ANSWER_LISTS
    // As above against lists: -n for the first error text found (its position), else n for the
    // first expected text found, else 0.
    int WaitForAnswer(LPCSTR pszCommand, CStringList &expected, CStringList &errors, int nDelay, BOOL bEcho);
#endif
    CString GetReceivedData() const
    {
        return m_strReceived;
    }

    // The debug copy of the bytes (only with DEBUG_ADSL defined); never throws.
    void SetLog(BOOL bOn, UINT nOpenFlags);

    virtual void OnCompletion(DWORD dwErrorCode, DWORD dwCount, LPOVERLAPPED lpOverlapped);

  protected:
    static void WINAPI _OnCompletion(DWORD dwErrorCode, DWORD dwCount, LPOVERLAPPED lpOverlapped);
    void Log(const void *lpData, DWORD dwCount);

    HANDLE m_hComm;
    BOOL m_bOverlapped;
    CString m_strReceived;
    CFile m_fileLog;

  private:
    // Steps 1 to 4 of WaitForAnswer: the answer, or false when an echo never came.
    bool SendAndCollect(LPCSTR pszCommand, int nDelay, BOOL bEcho, CString &answer);
};
