// Finding the picture files of a folder tree for library building.
#pragma once
#include <string>
#include <vector>

// folder + name, with one "/" between them unless the folder already ends in one.
std::string JoinPath(const std::string& folder, const std::string& name);

// True when the upper-cased extension of fileName (with its dot) occurs
// anywhere in extList, the upper-case extensions joined without separators
// (".JPG.BMP"). It is a substring test, so ".JP" matches; a name without an
// extension never matches.
bool ExtensionListed(const std::string& fileName, const std::string& extList);

// The matching picture files under folder, in the order a build adds them:
// the folder's own files first, then (when recurse is set) each subfolder's
// tree in turn. Names are compared as bytes and sorted byte-wise, so the same
// tree always gives the same library whatever the file system returns and
// whatever the names' encoding. Hidden files (names starting with ".") and
// anything that is not a regular file are not listed; a folder whose path
// contains "RECYCLED" (that case only) contributes nothing. Symbolic links
// are followed, but a folder already visited is not entered again, so a link
// loop ends. Unreadable folders are passed over.
std::vector<std::string> ListPictureFiles(const std::string& folder, const std::string& extList,
                                          bool recurse);
