// The process list: one row per process that holds a destination file open.
#pragma once

namespace swt {

class TToDoList;

class TProcessList {
public:
    explicit TProcessList(TToDoList* toDoList) : FToDoList(toDoList) {}
    TProcessList(const TProcessList&) = delete;
    TProcessList& operator=(const TProcessList&) = delete;

    TToDoList* FToDoList;  // not owned
};

}  // namespace swt
