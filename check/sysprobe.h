#pragma once
// Processor, memory and service-pack probes.
#include "check/checkitem.h"
#include "check/osprobe.h"

#include <stddef.h>
#include <stdint.h>

#include <string>

int CheckCpu(CheckItem& item, int profile);
int CheckMemory(CheckItem& item, int profile);
int CheckServicePack(OSProbe& probe, CheckItem& item);

// The connectivity check: a TCP connect to host:port (host must be dotted
// text). Fills the row (kind 7, state 1 connected / 2 failed).
bool IsServerConnetced(const char* host, uint16_t port, CheckItem& row);

// The processor brand string: three CPUID leaves of 16 bytes each plus the
// terminating zero.
const size_t kCpuBrandSize = 49;

// Fills `brand` (kCpuBrandSize bytes) with the processor's brand string;
// empty when the processor has no brand-string leaves.
void ReadCpuBrand(char* brand);

// The processor name up to its first zero byte (at most 48 characters of
// `brand` are read), directly followed by "(count)".
std::string DescribeCpu(const char* brand, unsigned long processors);

// Whole megabytes, rounded down, kept in 32 bits like the row always showed.
unsigned int WholeMegabytes(unsigned long long bytes);

// "[Physical:8107MB;Available:3412MB]", with the Chinese labels unless
// `english`.
std::string DescribeMemory(unsigned long long totalBytes, unsigned long long availableBytes,
                           bool english);
