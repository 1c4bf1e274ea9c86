// AddressSanitizer's defaults for the targets that run the driver: a quarantine of 16 MiB instead
// of 256 MiB. Their runs allocate and free buffers of up to 64 KiB a dozen times (the system
// buffers of the driver's reads, the client's read-ahead); with the larger quarantine nearly every
// one comes from fresh pages, and the page faults and the kernel's clearing of those pages took
// half of each run. A use after free inside a run is still caught: 16 MiB holds the frees of
// the last several runs. ASAN_OPTIONS given at run time still take precedence.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=16";
}
