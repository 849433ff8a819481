#include "testing/wizard.h"
#include "testing/machine.h"

#include <filesystem>

namespace kittest
{
void InstallWizard(const std::string &folder)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    fs::copy_file(LibDir() + "/QelAsist.so", folder + "/QelAsist.so", fs::copy_options::overwrite_existing);
    fs::copy(LibDir() + "/res", folder + "/res",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::copy_file(LibDir() + "/643.cfg", folder + "/643.cfg", fs::copy_options::overwrite_existing);
}
} // namespace kittest
