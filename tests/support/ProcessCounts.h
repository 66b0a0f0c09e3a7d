// Counts of this process's open descriptors and threads, read from /proc/self.
#pragma once

namespace brisklet::test {

int openDescriptorCount();
int threadCount();

} // namespace brisklet::test
