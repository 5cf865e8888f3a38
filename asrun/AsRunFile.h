#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

// ${XDG_STATE_HOME:-~/.local/state}/Halvercrest/Tessora/as-run: where the day files go.
std::filesystem::path AsRunFolder();

// The day files of a folder, YYYY-MM-DD.jsonl, one line per write. Each line goes out in one
// write(2) on a file opened for appending, so a crash or a power loss leaves whole lines.
// Writing never stops the program: a file that cannot be written is said once on standard
// error and once to onFailed, then tried again at each later line. A day file deleted,
// moved or replaced while open is made again at the next line, and said on standard error.
class AsRunFile {
public:
    // onFailed is given the reason (strerror's text) once each time writing starts failing;
    // onWrittenAgain is called once when a line is written after that.
    AsRunFile(std::filesystem::path folder, std::function<void(const std::string&)> onFailed,
              std::function<void()> onWrittenAgain = {});
    ~AsRunFile();
    AsRunFile(const AsRunFile&) = delete;
    AsRunFile& operator=(const AsRunFile&) = delete;

    // Appends line, which ends with its line break, to the file of day (YYYY-MM-DD); false
    // when it was not written whole.
    bool Append(const std::string& day, std::string_view line);

private:
    bool Open(const std::string& day);
    bool StillThere() const;
    void Close();
    void Failed(const std::string& reason);

    std::filesystem::path m_folder;
    std::function<void(const std::string&)> m_onFailed;
    std::function<void()> m_onWrittenAgain;
    int m_fd = -1;
    std::string m_openDay;
    std::filesystem::path m_path;
    bool m_bFailing = false;
    // Why the day file would not open, in words.
    std::string m_why;
};

// Opens a day file (flags as open(2)'s, mode for O_CREAT) only as a regular file: never
// through a link, never waiting on a FIFO or a device. Gives the descriptor, or -1 with why
// in words ("it is a folder", strerror's text).
int OpenDayFile(const std::filesystem::path& path, int flags, int mode, std::string& why);

// Removes the day files of folder dated more than keepDays days before today; nothing else in
// it is touched, and keepDays below 1 keeps every day. Returns how many went.
int RemoveOldDays(const std::filesystem::path& folder, std::chrono::sys_days today, int keepDays);
