#include "ReadSize.h"

void CReadSize::Took(unsigned long milliseconds) {
    if (milliseconds < kQuickMs) {
        if (++m_quickReads < 2)
            return;
        m_quickReads = 0;
        if (m_size < kLargest)
            m_size *= 2;
        return;
    }
    m_quickReads = 0;
    for (unsigned long time = milliseconds; time > kSlowMs && m_size > kSmallest; time /= 2)
        m_size /= 2;
}
