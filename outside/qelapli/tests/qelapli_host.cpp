// A stand-in for the wizard's host, for the restart tests: started by the PC at its next start,
// it writes what it finds in the application registry "SOFTWARE\NUV\DAX\Prueba" to
// "<temp>\QelExec.txt":
//   estado=<0|1>
//   ippublica=<text>
#include "outside/qelapli/RegApli.h"

#include <string>

namespace
{
std::string Informe()
{
    CRegApli reg;
    if (FAILED(reg.Open("SOFTWARE\\NUV\\DAX\\Prueba", FALSE)))
        return "sin clave\r\n";
    BOOL inicial = TRUE;
    reg.IsEstadoInicial(inicial);
    std::string ip;
    reg.GetIpPublica(ip);
    return "estado=" + std::to_string(inicial) + "\r\nippublica=" + ip + "\r\n";
}
} // namespace

int main()
{
    char temp[MAX_PATH];
    if (!GetTempPathA(sizeof temp, temp))
        return 1;
    const std::string path = std::string(temp) + "QelExec.txt";
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    const std::string text = Informe();
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size() ? 0 : 1;
}
