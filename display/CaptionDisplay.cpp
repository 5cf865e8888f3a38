#include "CaptionDisplay.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int TwoDigits(const std::string& str, std::size_t at) {
    return (str[at] - '0') * 10 + (str[at + 1] - '0');
}

// True when the bytes are "{A19", "{C" + four digits, or a beginning of either.
bool IsCommandPrefix(const std::string& str) {
    static constexpr std::string_view kClear = "{A19";
    if (str.size() <= kClear.size() && kClear.starts_with(str)) {
        return true;
    }
    if (str.size() < 2 || str.size() > 6 || str[0] != '{' || str[1] != 'C') {
        return false;
    }
    for (std::size_t i = 2; i < str.size(); ++i) {
        if (!IsDigit(str[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

CCaptionDisplay::CCaptionDisplay() {
    m_rows.fill(std::string(kColumns, ' '));
}

bool CCaptionDisplay::Feed(std::string_view bytes) {
    bool bChanged = false;
    for (char c : bytes) {
        bChanged |= Feed(static_cast<unsigned char>(c));
    }
    return bChanged;
}

bool CCaptionDisplay::Feed(unsigned char byte) {
    if (m_strPending.empty()) {
        if (byte == '{') {
            m_strPending.push_back('{');
            return false;
        }
        return WriteText(byte);
    }

    std::string strCandidate = m_strPending + static_cast<char>(byte);
    if (IsCommandPrefix(strCandidate)) {
        return ExecuteOrHold(strCandidate);
    }

    // Not a command after all: what was held back is text, and this byte
    // starts over, as it may open a command of its own.
    bool bChanged = false;
    std::string strText;
    strText.swap(m_strPending);
    for (char c : strText) {
        bChanged |= WriteText(static_cast<unsigned char>(c));
    }
    bChanged |= Feed(byte);
    return bChanged;
}

bool CCaptionDisplay::ExecuteOrHold(const std::string& strCandidate) {
    if (strCandidate == "{A19") {
        m_strPending.clear();
        return Clear();
    }
    if (strCandidate.size() == 6) {
        m_strPending.clear();
        m_nColumn = TwoDigits(strCandidate, 2);
        m_nRow = TwoDigits(strCandidate, 4);
        return false;
    }
    m_strPending = strCandidate;
    return false;
}

bool CCaptionDisplay::Clear() {
    bool bChanged = false;
    for (std::string& row : m_rows) {
        bChanged |= row.find_first_not_of(' ') != std::string::npos;
        row.assign(kColumns, ' ');
    }
    m_nColumn = 0;
    m_nRow = 0;
    return bChanged;
}

bool CCaptionDisplay::WriteText(unsigned char byte) {
    if (m_nColumn >= kColumns || m_nRow >= kRows) {
        return false;
    }
    char& cell = m_rows[m_nRow][m_nColumn];
    bool bChanged = cell != static_cast<char>(byte);
    cell = static_cast<char>(byte);
    ++m_nColumn;
    return bChanged;
}

std::string_view CCaptionDisplay::RowBytes(int row) const {
    return m_rows.at(row);
}
