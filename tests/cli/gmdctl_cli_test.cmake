# Runs gmdctl as a user does and checks what it prints and how it exits.

function(run_gmdctl)
    cmake_parse_arguments(R "" "EXIT" "ARGS" ${ARGN})
    execute_process(COMMAND ${GMDCTL} ${R_ARGS}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
    if(NOT rc EQUAL R_EXIT)
        message(FATAL_ERROR "gmdctl ${R_ARGS}: exit ${rc}, expected ${R_EXIT}\n${out}\n${err}")
    endif()
    set(out "${out}" PARENT_SCOPE)
    set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_match text regex what)
    if(NOT text MATCHES "${regex}")
        message(FATAL_ERROR "${what}: no match for '${regex}' in:\n${text}")
    endif()
endfunction()

# info on the virtual mouse, with the trace on standard error
run_gmdctl(ARGS --virtual --trace info EXIT 0)
expect_match("${out}" "sensor: +0x3360" "info")
expect_match("${out}" "highest DPI step: +239 \\(12000 DPI\\)" "info")
string(REPLACE "\n" ";" lines "${err}")
set(writes 0)
set(reads 0)
foreach(line IN LISTS lines)
    if(line STREQUAL "")
        continue()
    endif()
    expect_match("${line}" "^[<>] ([0-9a-f][0-9a-f] )+[0-9a-f][0-9a-f]$" "trace line")
    string(LENGTH "${line}" length)
    if(NOT length EQUAL 193)  # "> " + 64 bytes as "xx" separated by single spaces
        message(FATAL_ERROR "trace line of ${length} characters: ${line}")
    endif()
    if(line MATCHES "^>")
        math(EXPR writes "${writes} + 1")
    else()
        math(EXPR reads "${reads} + 1")
    endif()
endforeach()
# open session, read info, close session: three requests, three replies
if(NOT writes EQUAL 3 OR NOT reads EQUAL 3)
    message(FATAL_ERROR "expected 3 writes and 3 reads in the trace, got ${writes} and ${reads}")
endif()
expect_match("${err}" "^> 04 01 00 01 00 00 00 00" "first request is open session")

# the whole read-out
run_gmdctl(ARGS --virtual dump EXIT 0)
foreach(section "information block \\(33 bytes\\)" "current image \\(512 bytes\\)"
        "bank image 4 \\(512 bytes\\)" "settings block 4 \\(address 256\\) \\(56 bytes\\)")
    expect_match("${out}" "${section}" "dump")
endforeach()
# the factory key table: left button first
expect_match("${out}" "current image \\(512 bytes\\)\n  0000: 10 01 00 10 04 00 10 02 00" "dump")

# list shows both interfaces of the virtual mouse
run_gmdctl(ARGS --virtual list EXIT 0)
expect_match("${out}" "0c45   7643    ff1c       0092" "list")
expect_match("${out}" "0c45   7643    000c       0001" "list")

# usage errors
run_gmdctl(ARGS frobnicate EXIT 64)
expect_match("${err}" "unknown command 'frobnicate'" "usage")
run_gmdctl(ARGS --bogus info EXIT 64)

# without --virtual only hardware counts; a build machine has none
if(NOT EXISTS /sys/class/hidraw OR "$ENV{GMD_TEST_HAS_NO_MOUSE}" STREQUAL "1")
    run_gmdctl(ARGS info EXIT 2)
    expect_match("${err}" "no mouse found|cannot list HID devices" "no device")
endif()
