// The settings dialog's save and its error message.
#include "settings/dialogs/settings_save.h"

#include "localization/language_table.h"
#include "platform/registry_access.h"
#include "settings/store/settings_schema.h"

namespace {

constexpr const wchar_t* kErrorCaption = L"Error!";
constexpr const wchar_t* kRegistryWriteError =
    L"Error writing to the system registry. Please NOTE: You need to have sufficient administrative rights to run "
    L"this program successfully.";

} // namespace

bool WriteSettings(const Node& tree, HWND owner, ErrorMessageBox& messages) {
    if (tree.WriteToRegistry(HKEY_LOCAL_MACHINE, kProductKey)) return true;
    messages.Show(owner, Translate(kErrorCaption), Translate(kRegistryWriteError));
    return false;
}
