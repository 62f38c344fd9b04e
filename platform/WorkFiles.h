// The files the program makes for its own use, and what becomes of them when
// a run ends badly. Work files in the temporary folder and the temporaries of
// saves are locked (flock) for as long as their run uses them and are listed
// for removal should a signal (SIGTERM, SIGINT, SIGHUP) end the program. What
// a killed run left behind is removed at a later start, and only that: files
// of the effective user, in the exact name form this program writes, that no
// live program holds locked, never through a link.
#pragma once
#include <functional>
#include <string>

// ---- Ending by a signal --------------------------------------------------------

// Lists path for removal should the program be ended by a signal; returns a
// ticket for ForgetOnTermination, or -1 when the list is full (the file is
// then left to the next start's cleanup).
int RemoveOnTermination(const std::string& path);
// Takes a file off that list; -1 is ignored.
void ForgetOnTermination(int ticket);
// SIGTERM, SIGINT and SIGHUP remove the listed files and end the program as
// the signal would have.
void InstallTerminationCleanup();

// ---- Files that a dead run left --------------------------------------------------

// Takes, without waiting, the lock that marks a file as in use by a live run;
// false when some other open of the file holds it, or when it cannot be had.
bool LockInUse(int handle);
// True for the answers of a system that gives no locks at all (a network
// home whose lock service is down): a file there is used without one.
bool NoLocksHere(int error);
// Creates a file under the first of the names nextName gives that is free,
// exclusively and never through a link, with the given access rights, and
// takes its in-use lock (none where NoLocksHere). A file made and then not
// used is removed before the next name is tried. The handle, with name set;
// or -1 with errno set.
int CreateLockedFile(const std::function<std::string()>& nextName, unsigned mode, std::string& name);
// Removes path when it is a plain file of the effective user (never a link)
// that no live run holds locked. True when it was removed.
bool RemoveIfAbandoned(const std::string& path);

// ---- Work files in the temporary folder ------------------------------------------

// n letters or digits from the system's random source, for unique names.
std::string UniqueLetters(int n);
// Tests make the names foreseeable, to plant something where a save will
// look: the hook's answer is used when it has n letters or digits. nullptr
// restores the random source.
void SetUniqueLettersHook(std::string (*hook)(int n));

// A new, empty work file named prefix, this process's id, "-" and six letters
// or digits ("vt4711-a8Xk2Q") in the temporary folder, open for reading and
// writing, locked, and removed should a signal end the program. Raises
// EFileError with the system's reason.
struct TWorkFile {
  int Handle = -1;
  std::string Name;
  int Ticket = -1;
};
TWorkFile CreateWorkFile(const std::string& prefix);
// Removes the file, then closes its handle (so it is never unlocked while it
// still has its name). Does nothing for a file that is not open.
void DeleteWorkFile(TWorkFile& file);

// True when name (no folder) has the form CreateWorkFile gives with prefix:
// a process id of 1..pid_max written without leading zeros, "-" and six
// letters or digits. pid receives the process id.
bool IsWorkFileName(const std::string& name, const std::string& prefix, long& pid);

// Removes the work files that runs which no longer live left in the temporary
// folder: only names of the form above, of the effective user, whose process
// does not run here and whose lock nobody holds (a live run in another process
// namespace keeps its files). Returns how many were removed.
int RemoveStaleTempFiles(const std::string& prefix);

// ---- Saves in progress -------------------------------------------------------

// Keeps this run's list of saves in progress in folder (the settings folder,
// beside vt002.ini), so that a later start can remove the partial files of
// saves this run leaves when it is killed outright; first removes those that
// dead runs listed there (RemoveDeadSaves). Returns how many were removed.
int KeepSaveList(const std::string& folder);
// Ends this run's list and removes its file.
void EndSaveList();
// Removes the partial files listed by runs that died, when they are still
// what a save left (the temporary name form, plain files of the effective
// user, not locked), and then the dead runs' lists. Returns how many partial
// files were removed.
int RemoveDeadSaves(const std::string& folder);
// The temporary of a save has been made or is gone (the replace routine).
void NoteSaveBegun(const std::string& tempName);
void NoteSaveEnded(const std::string& tempName);
