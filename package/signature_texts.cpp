#include "package/signature_texts.h"

#include "base/text.h"
#include "base/text_ids.h"

SignatureVerdict RefusedLibrary(const std::wstring& fileName, bool readable) {
    SignatureVerdict verdict;
    verdict.kind = SignatureVerdict::kRefused;
    verdict.problem = SignatureProblem::kFileMismatch;
    verdict.subject = fileName;
    verdict.reason = readable ? L"The library " + fileName + L" does not match its pin in the package."
                              : L"The library " + fileName + L" cannot be opened to be checked against its pin.";
    return verdict;
}

std::wstring SigningTimeText(const std::string& signedAt) {
    std::string text = signedAt;
    if (text.size() == 20 && text[10] == 'T' && text[19] == 'Z') {
        text[10] = ' ';
        text.replace(19, 1, " UTC");
    }
    return FromEightBit(text);
}

std::wstring SignatureStateText(const TextCatalogue& texts, const SignatureVerdict& verdict) {
    switch (verdict.kind) {
    case SignatureVerdict::kUnsigned: return texts.Text(IDS_PACKAGE_UNSIGNED);
    case SignatureVerdict::kTrusted:
        return texts.Text(IDS_SIGNED_BY) + L" " + verdict.signerName + L"  " + texts.Text(IDS_SIGNED_AT) + L" " +
               SigningTimeText(verdict.signedAt);
    default: return {};
    }
}

std::wstring SignatureRefusalMessage(const TextCatalogue& texts, const SignatureVerdict& verdict) {
    int why = IDS_REFUSED_BAD_SIGNATURE;
    switch (verdict.problem) {
    case SignatureProblem::kUnsignedRequired: why = IDS_REFUSED_UNSIGNED; break;
    case SignatureProblem::kUnreadableSignature: why = IDS_REFUSED_UNREADABLE; break;
    case SignatureProblem::kUnknownKey: why = IDS_REFUSED_UNKNOWN_KEY; break;
    case SignatureProblem::kFileMismatch: why = IDS_REFUSED_FILE_CHANGED; break;
    case SignatureProblem::kFileMissing: why = IDS_REFUSED_FILE_MISSING; break;
    case SignatureProblem::kFileUnpinned: why = IDS_REFUSED_FILE_UNSIGNED; break;
    default: break;
    }
    std::wstring message = texts.Text(IDS_MSG_PACKAGE_REFUSED) + L"\n\n" + texts.Text(why);
    if (!verdict.subject.empty()) message += L"\n\t" + verdict.subject;
    return message + L"\n\n" + texts.Text(IDS_MSG_REFUSED_ADVICE);
}
