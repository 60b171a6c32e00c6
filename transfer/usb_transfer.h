// The USB transfer job: sends the package to every checked printer of the
// USB list through the device-utility library, one printer after another.
#pragma once

#include <cstdint>
#include <optional>

#include "device/usb_port_lock.h"
#include "transfer/printer_rows.h"
#include "transfer/transfer_job.h"

// The worker's entry. Returns when the job has ended; job.done is 1 then,
// on every path.
void RunUsbTransfer(TransferJob& job, const TransferContext& context, UsbPortLocks& portLocks,
                    UsbPrinterRows& printers);

// The printer's detail codes from its device ID; nothing when the device ID
// cannot be read.
std::optional<DetailCodes> ReadUsbStatus(DeviceLibraries& libraries, std::uint16_t deviceIndex);
