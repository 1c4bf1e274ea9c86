# Runs velmora-board on the built-in board: it must succeed, warn about nothing, and print the
# board name, the SMBIOS entry point, the root pointer and the root table first (Windows 7 takes
# the tables from its firmware table provider, which names no address), the PCI Express base and
# a request count last.
execute_process(COMMAND ${TOOL} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "velmora-board exited with ${result}: ${err}")
endif()
if(NOT err STREQUAL "")
  message(FATAL_ERROR "unexpected warnings: ${err}")
endif()
set(expected "^board-name: ZV-H61M\n")
string(APPEND expected "smbios-entry: none \\(table from the firmware table provider\\)\n")
string(APPEND expected "acpi\\[0\\]: RSDP none 0x00000000\nacpi\\[1\\]: RSDT none .*")
string(APPEND expected "\npcie-base: 0xE0000000\nrequests: [1-9][0-9]*\n$")
if(NOT out MATCHES "${expected}")
  message(FATAL_ERROR "unexpected output:\n${out}")
endif()
