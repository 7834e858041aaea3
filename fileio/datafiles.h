#pragma once

#include <string>
#include <vector>

// Where Mondrel finds the files it ships with (the start-up image), so that it starts from
// any folder: the working directory first, then the installed data folder, then the data
// folder of the source tree it was built from (left out of packaged builds).

// The folders searched, in order; "" stands for the working directory.
std::vector<std::string> dataFolders();

// Replaces the folders dataFolders() gives for the rest of the process, for a program that
// must see only some of them (a check that starts without the shipped files).
void setDataFolders(std::vector<std::string> folders);

// The path of name in the first of folders holding it as a regular file ("" searches the
// working directory and gives name itself); empty when no folder has it. A file that is there
// but unreadable or broken is still the one found: the user's own copy is never passed over.
std::string findDataFile(const std::string& name, const std::vector<std::string>& folders);
