# Runs velmora-board on the built-in board: it must succeed, warn about nothing, and print the
# board name, the SMBIOS entry point, the root pointer and the root table first, the PCI Express
# base and a request count last.
execute_process(COMMAND ${TOOL} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "velmora-board exited with ${result}: ${err}")
endif()
if(NOT err STREQUAL "")
  message(FATAL_ERROR "unexpected warnings: ${err}")
endif()
set(expected "^board-name: ZV-H61M\nsmbios-entry: 0x000F0480\nacpi\\[0\\]: RSDP 0x000F6A40 0x00000014\n")
string(APPEND expected "acpi\\[1\\]: RSDT .*\npcie-base: 0xE0000000\nrequests: [1-9][0-9]*\n$")
if(NOT out MATCHES "${expected}")
  message(FATAL_ERROR "unexpected output:\n${out}")
endif()
