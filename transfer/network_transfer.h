// The network transfer job: sends the package to every checked printer of
// the network list over the printer's raw print port, one connection per
// file, through the network library.
#pragma once

#include <optional>

#include "transfer/printer_rows.h"
#include "transfer/transfer_job.h"

// The worker's entry. Returns when the job has ended; job.done is 1 then,
// on every path.
void RunNetworkTransfer(TransferJob& job, const TransferContext& context, NetPrinterRows& printers);

// The printer's detail codes as its status poll reports them; nothing when
// the printer does not answer.
std::optional<DetailCodes> ReadNetworkStatus(DeviceLibraries& libraries, const char* address, const char* community);
