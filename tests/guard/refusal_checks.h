// What a refusal of the registered folder must look like: the stage's
// folder part returns false, writes one "Remove refused : " line, and
// leaves every file in the folder as it was, attributes included; and what
// a removal must look like.
#pragma once

#include <windows.h>

#include <string>

// Runs the stage's folder part and expects a refusal with this trace subject.
void ExpectRefused(const std::wstring& location, const std::wstring& subject);

// The same where the subject's spelling is the platform's business (doubled
// separators and the like).
void ExpectRefusedAnyhow(const std::wstring& location);

// The other outcome: the stage's folder part removes the folder whole and
// writes no trace line.
void ExpectRemoved(const std::wstring& location, const std::wstring& folder);

// Read-only and hidden: the attribute walk that comes before a removal
// would clear them.
constexpr DWORD SentinelAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;

// A file in a folder that must be refused: a removal, or the attribute walk
// that comes before it, would show on it. Removed, with its named file, when
// the test ends.
class Sentinel {
public:
    explicit Sentinel(const std::wstring& folder);
    ~Sentinel();
    Sentinel(const Sentinel&) = delete;
    Sentinel& operator=(const Sentinel&) = delete;

    // The name of the file a location names, in the folder.
    std::wstring NamedFile() const { return named_.substr(folder_.size() + 1); }

    void ExpectUntouched() const;

private:
    std::wstring folder_;
    std::wstring file_;
    std::wstring named_;
};
