#include "tools/fwpack/ini_edit.h"

#include <optional>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

struct Line {
    std::size_t start;  // offset of the line in the text
    std::size_t end;    // offset of its line end (or of the end of the text)
};

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back({start, end});
        start = end + 1;
    }
    return lines;
}

// The section a header line opens, if it is one.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    return Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// The key of a "key=value" line, if it is one.
std::optional<std::string_view> KeyOf(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '#' || line.front() == '[') return std::nullopt;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(0, equals));
}

// Where `key` of `section` stands: its first line in the section (in any
// of the section's blocks, as the first occurrence is the one read), or
// nothing; `insertAfter` gets the end of the line a new key would follow.
std::optional<Line> FindKeyLine(const std::string& text, std::string_view section, std::string_view key,
                                std::optional<std::size_t>& insertAfter) {
    bool inSection = false;
    bool firstBlockDone = false;
    for (const Line& line : SplitLines(text)) {
        const std::string_view content(text.data() + line.start, line.end - line.start);
        if (const auto name = SectionOf(content)) {
            if (inSection) firstBlockDone = true;
            inSection = SameName(*name, section);
            if (inSection && !firstBlockDone && !insertAfter) insertAfter = line.end;
            continue;
        }
        if (!inSection) continue;
        const auto lineKey = KeyOf(content);
        if (!lineKey) continue;
        if (SameName(*lineKey, key)) return line;
        if (!firstBlockDone) insertAfter = line.end;
    }
    return std::nullopt;
}

}  // namespace

void SetIniValue(std::string& text, std::string_view section, std::string_view key, std::string_view value) {
    const std::string newline = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    const std::string assignment = std::string(key) + "=" + std::string(value);
    std::optional<std::size_t> insertAfter;  // end of the line that the new key follows
    if (const std::optional<Line> line = FindKeyLine(text, section, key, insertAfter)) {
        // Keep the line's own end ("\r" included) after the new text.
        const bool carriageReturn = line->end > line->start && text[line->end - 1] == '\r';
        text.replace(line->start, line->end - line->start - (carriageReturn ? 1 : 0), assignment);
        return;
    }
    if (insertAfter) {
        if (*insertAfter >= text.size()) {
            text += newline + assignment + newline;
        } else {
            text.insert(*insertAfter + 1, assignment + newline);
        }
        return;
    }
    if (!text.empty() && text.back() != '\n') text += newline;
    text += "[" + std::string(section) + "]" + newline + assignment + newline;
}

void RemoveIniValue(std::string& text, std::string_view section, std::string_view key) {
    std::optional<std::size_t> insertAfter;
    const std::optional<Line> line = FindKeyLine(text, section, key, insertAfter);
    if (!line) return;
    const std::size_t end = line->end < text.size() ? line->end + 1 : line->end;
    text.erase(line->start, end - line->start);
}
