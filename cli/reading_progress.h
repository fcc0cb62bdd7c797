// How zendrik-cli --microphone shows a reading on standard error: on a terminal one line that is
// rewritten in place as the state and the bytes change; elsewhere (a pipe, a file) a line per
// state change and per tenth of the transfer, so a log stays short.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace zendrik {

class ReadingProgress {
public:
    ReadingProgress(std::ostream& err, bool terminal) : m_err(err), m_terminal(terminal) {}
    ReadingProgress(const ReadingProgress&) = delete;
    ReadingProgress& operator=(const ReadingProgress&) = delete;

    // A reading state (waiting, receiving, complete, CRC error); the same state again shows nothing.
    void State(int state);
    // Bytes received of those the transfer's head announces.
    void Progress(std::ptrdiff_t received, std::ptrdiff_t expected);
    // A message on a line of its own, after the line in place has been ended.
    void Message(const std::string& text);
    // Ends the line in place, if one is shown; done before anything else is written to `err`.
    void End();

private:
    std::string Line() const;
    void ShowInPlace();

    std::ostream& m_err;
    bool m_terminal;
    int m_state = 0;
    std::ptrdiff_t m_received = -1;
    std::ptrdiff_t m_expected = -1;
    int m_tenthShown = -1;            // of this transfer's bytes, the last tenth given a line
    std::string m_shown;              // the line in place; empty when none is open
};

}  // namespace zendrik
