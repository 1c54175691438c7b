#pragma once
// How much one read of a transfer asks for. A synchronous read of the
// internet library costs about the same whatever its size, so large reads
// move more bytes; but it returns only when its whole buffer is full, so on
// a slow link a large read would hold the progress display still. The size
// starts at 4 KiB, doubles while reads come back quickly and halves when one
// is slow, within 4 KiB and 1 MiB. It doubles after two quick reads in a
// row: one alone may only have found bytes the library held already, as on
// a link that sends in bursts.

class CReadSize {
public:
    static const unsigned long kSmallest = 4096;
    static const unsigned long kLargest = 1 << 20;
    // Quicker than this: the link keeps up with a larger read.
    static const unsigned long kQuickMs = 25;
    // Slower than this: the display would wait too long for the next read.
    static const unsigned long kSlowMs = 100;

    unsigned long Current() const { return m_size; }
    // After a read of Current() bytes that took the time given. A read far
    // slower than kSlowMs halves the size once for each doubling of its time,
    // so a link that slowed down at once is followed at once.
    void Took(unsigned long milliseconds);

private:
    unsigned long m_size = kSmallest;
    int m_quickReads = 0;
};
