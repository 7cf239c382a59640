#pragma once

// Holds the shared private sound server for one test. ctest runs test cases as parallel
// processes, and a test that selects a source or changes a volume must not have another test
// capturing at the same time; they take turns through an flock on a file in the server's folder.
class CSoundServerLock
{
public:
    CSoundServerLock();
    ~CSoundServerLock();

    CSoundServerLock(const CSoundServerLock&) = delete;
    CSoundServerLock& operator=(const CSoundServerLock&) = delete;

    bool IsLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
