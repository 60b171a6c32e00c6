#include "app/library_refusals.h"

#include <cwchar>

#include "base/text.h"
#include "ui/texts/resource_ids.h"

std::wstring ArchitectureText(const TextCatalogue& texts, std::uint16_t machine) {
    if (machine == kMachineX86) return texts.Text(IDS_ARCH_X86);
    if (machine == kMachineX64) return texts.Text(IDS_ARCH_X64);
    wchar_t code[16];
    std::swprintf(code, 16, L" 0x%04X", static_cast<unsigned>(machine));
    return texts.Text(IDS_ARCH_OTHER) + code;
}

std::wstring LibraryRefusalMessage(const TextCatalogue& texts, const std::vector<LibraryRefusal>& refusals,
                                   std::uint16_t programMachine) {
    std::wstring message = texts.Text(IDS_MSG_LIBRARY_ARCHITECTURE);
    for (const LibraryRefusal& refusal : refusals)
        message += L"\n\t" + FromEightBit(refusal.fileName) + L": " + ArchitectureText(texts, refusal.machine);
    message += L"\n\n" + texts.Text(IDS_PROGRAM_ARCHITECTURE) + L" " + ArchitectureText(texts, programMachine);
    message += L"\n\n" + texts.Text(IDS_MSG_LIBRARY_ADVICE);
    return message;
}

std::wstring LibraryRefusalLine(const LibraryRefusal& refusal, std::uint16_t programMachine) {
    return L"library not loaded: " + FromEightBit(refusal.fileName) + L" is built for " +
           FromEightBit(MachineName(refusal.machine)) + L", this program for " +
           FromEightBit(MachineName(programMachine));
}
