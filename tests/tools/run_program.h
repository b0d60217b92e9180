#pragma once
// Runs a program to its end with its standard output and error captured (in files of `folder`).
#include <string>
#include <vector>

struct ProgramRun {
    int status = -1;  // the exit status; -1 when it could not run or did not exit normally
    std::string out;  // line ends as "\n"
    std::string err;
};

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder);
