// What the wizard's pages and the progress window work with, handed to them
// by the application object. Windows only.
#pragma once

#include <windows.h>

#include "base/files.h"
#include "base/sleeper.h"
#include "base/update_history.h"
#include "device/library_table.h"
#include "device/usb_port_lock.h"
#include "package/package_model.h"
#include "package/package_settings.h"
#include "ui/texts/resource_catalogue.h"

struct WizardServices {
    HINSTANCE instance;
    PackageSettings& settings;  // the language page changes LanguageOffset for the run
    const ResourceCatalogue& texts;
    DeviceLibraries& libraries;
    UsbPortLocks& portLocks;
    FileOpener& files;
    Sleeper& sleeper;
    UpdateHistory* history = nullptr;  // where each printer's update is recorded; none without a history
};

// Message box owned by `owner` with catalogue caption and text, OK only.
void ShowMessage(HWND owner, const TextCatalogue& texts, int captionId, const std::wstring& text,
                 UINT icon = MB_ICONERROR);
