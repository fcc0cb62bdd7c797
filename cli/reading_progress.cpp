#include "cli/reading_progress.h"

#include "zendrik/reception.h"

namespace zendrik {

namespace {

constexpr const char* kPrefix = "zendrik-cli: ";

}  // namespace

void ReadingProgress::State(int state) {
    if (state == m_state) return;
    m_state = state;
    // A new transfer, or a new try at one, counts its tenths from the start.
    if (state != kReadingReceiving) m_tenthShown = -1;
    if (m_terminal) {
        ShowInPlace();
    } else if (const char* text = ReadingStateText(state)) {
        m_err << kPrefix << text << "\n";
    }
}

void ReadingProgress::Progress(std::ptrdiff_t received, std::ptrdiff_t expected) {
    if (received == m_received && expected == m_expected) return;
    m_received = received;
    m_expected = expected;
    if (m_terminal) {
        ShowInPlace();
        return;
    }
    const int tenth = expected > 0 ? static_cast<int>(received * 10 / expected) : 0;
    if (tenth <= m_tenthShown) return;
    m_tenthShown = tenth;
    m_err << kPrefix << received << " of " << expected << " bytes\n";
}

void ReadingProgress::Message(const std::string& text) {
    End();
    m_err << kPrefix << text << "\n";
}

void ReadingProgress::End() {
    if (m_shown.empty()) return;
    m_err << "\n" << std::flush;
    m_shown.clear();
}

std::string ReadingProgress::Line() const {
    const char* text = ReadingStateText(m_state);
    std::string line = std::string(kPrefix) + (text ? text : "");
    if (m_state == kReadingReceiving && m_expected > 0) {
        line += " " + std::to_string(m_received) + " of " + std::to_string(m_expected) + " bytes";
    }
    return line;
}

void ReadingProgress::ShowInPlace() {
    const std::string line = Line();
    if (line == m_shown) return;
    // Blanks over what a longer line before left on the terminal.
    const std::size_t blanks = m_shown.size() > line.size() ? m_shown.size() - line.size() : 0;
    m_err << "\r" << line << std::string(blanks, ' ') << std::flush;
    m_shown = line;
}

}  // namespace zendrik
