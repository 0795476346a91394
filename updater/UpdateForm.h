// The updater's main window object: the update job's location, its state and the log.
#pragma once
#include <windows.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "updater/ProcessList.h"
#include "updater/ToDoList.h"

namespace swt {

class TForm1 {
public:
    // Caption of the updater's window and the class name its window is registered under; a job
    // that gives a caller process but no window class or caption points at these.
    static constexpr const wchar_t* kCaption = L"Update";
    static constexpr const wchar_t* kWindowClass = L"TForm1";

    // args: the program's arguments, element 0 being the program path.
    explicit TForm1(std::vector<std::wstring> args);
    ~TForm1();

    void FormCreate();
    // Reads and erases the update job and creates the to-do list and the process list.
    // Raises swt::Error for a job value of a non-string type.
    void ReadUpdateJob();
    // Appends one line to the job's log; silent while no log file is known.
    void WriteLog(int level, const std::wstring& category, const std::wstring& text) const;

    std::wstring FSection;
    std::wstring FBaseKey;
    SYSTEMTIME FStartTime{};
    HWND FCallerWindow = nullptr;
    std::wstring FRunApp;
    std::unique_ptr<TToDoList> FToDoList;
    std::unique_ptr<TProcessList> FProcessList;
    uint32_t FCallerProcessId = 0;
    bool FRestartCaller = false;
    std::wstring FLogFile;

private:
    std::vector<std::wstring> args_;
};

}  // namespace swt
