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

# the live settings, one "name value" line per field, from the factory profile 0
run_gmdctl(ARGS --virtual settings EXIT 0)
foreach(line "profileIndex 0" "lightMode 0" "dpiStep2 31" "dpiStage 1" "dpiColour2 0x00ff00"
        "lineAdjust 0")
    expect_match("${out}" "(^|\n)${line}\n" "settings")
endforeach()
expect_match("${out}" "^([A-Za-z0-9]+ ([0-9]+|0x[0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])\n)+$"
             "settings format")

# set sends the whole live block with the one byte changed, then closes the session
run_gmdctl(ARGS --virtual --trace set dpiStep2 10 EXIT 0)
expect_match("${out}" "^dpiStep2 10\n$" "set")
# command 6, length 56, address 0; payload byte 16 is the step; the last 10 bytes are zero
# (CMake's regular expressions have no counted repeats)
string(REPEAT "[0-9a-f][0-9a-f] " 16 before)
string(REPEAT "[0-9a-f][0-9a-f] " 29 after)
string(REPEAT "00 " 9 zeros)
expect_match("${err}" "\n> 04 .. .. 06 38 00 00 00 ${before}0a ${after}${zeros}00\n" "set")
expect_match("${err}" "\n> 04 02 00 02 [^\n]*\n[^\n]*\n$" "set ends with close session")

# the light fields of the live settings, factory profile 0: colour wave in red
run_gmdctl(ARGS --virtual light EXIT 0)
expect_match("${out}" "^lightMode 0\nlightBrightness 4\nlightSpeed 2\nlightDirection 0\ncolourCycle 255\nlightRed 255\nlightGreen 0\nlightBlue 0\neffectPhase 0\n$"
             "light")

# engine frames without a device: static colour 200,100,50 at brightness 2 is 116,58,29 per LED
run_gmdctl(ARGS light-frames 5 2 --brightness 2 --colour "#c86432" EXIT 0)
string(REPEAT "743a1d" 17 led17)
expect_match("${out}" "^${led17}\n${led17}\n$" "light-frames static")
# spectrum backwards: wheel entry 191 (255,0,0), then 190 (255,0,2), at brightness 4
run_gmdctl(ARGS light-frames 2 2 EXIT 0)
string(REPEAT "fe0000" 17 first)
string(REPEAT "fe0001" 17 second)
expect_match("${out}" "^${first}\n${second}\n$" "light-frames spectrum")
# mode 6 without a request is dark, after the first frame's flash the pulse climbs
run_gmdctl(ARGS light-frames 6 30 --cycle 0 EXIT 0)
string(REGEX MATCHALL "[^\n]+" frames "${out}")
list(LENGTH frames count)
list(GET frames 29 last)
if(NOT count EQUAL 30 OR last MATCHES "^0+$")
    message(FATAL_ERROR "light-frames 6: ${count} frames, last ${last}")
endif()
foreach(bad "7 1" "2 0" "x 1")
    separate_arguments(words UNIX_COMMAND "${bad}")
    run_gmdctl(ARGS light-frames ${words} EXIT 64)
endforeach()
run_gmdctl(ARGS light-frames 1 1 --colour red EXIT 64)
expect_match("${err}" "--colour must be #RRGGBB" "bad colour")
run_gmdctl(ARGS light-frames 1 1 --speed 5 EXIT 64)
run_gmdctl(ARGS light-frames 1 1 --speed EXIT 64)
run_gmdctl(ARGS --virtual settings --cycle 1 EXIT 64)
expect_match("${err}" "--cycle is an option of light-frames" "light option elsewhere")

# refusals name what is allowed, exit 64 and send no write
run_gmdctl(ARGS --virtual --trace set dpiStep2 240 EXIT 64)
expect_match("${err}" "dpiStep2 must be 0-239" "set range from the mouse")
if(err MATCHES "\n> 04 .. .. 06 ")
    message(FATAL_ERROR "a refused set wrote to the mouse:\n${err}")
endif()
run_gmdctl(ARGS --virtual --trace set lightMode 7 EXIT 64)
expect_match("${err}" "^gmdctl: lightMode must be 0-6\n$" "set range, nothing sent")
run_gmdctl(ARGS --virtual set lightMode -1 EXIT 64)
expect_match("${err}" "lightMode must be 0-6" "set negative")
run_gmdctl(ARGS --virtual set lightMode bright EXIT 64)
expect_match("${err}" "'bright' is not a number" "set not a number")
run_gmdctl(ARGS --virtual set dpiColour1Red 1 EXIT 64)
expect_match("${err}" "unknown field 'dpiColour1Red'; the fields are: profileIndex lightMode .* lineAdjust"
             "set unknown field")
# a stage colour is one 0xRRGGBB value over its three bytes (payload bytes 26-28 for stage 2)
run_gmdctl(ARGS --virtual --trace set dpiColour2 "#123456" EXIT 0)
expect_match("${out}" "^dpiColour2 0x123456\n$" "set colour")
string(REPEAT "[0-9a-f][0-9a-f] " 26 colour_before)
expect_match("${err}" "\n> 04 .. .. 06 38 00 00 00 ${colour_before}12 34 56 " "set colour bytes")
run_gmdctl(ARGS --virtual set dpiColour2 0x1000000 EXIT 64)
expect_match("${err}" "dpiColour2 must be 0x000000-0xffffff" "set colour range")
run_gmdctl(ARGS --virtual set dpiStep2 EXIT 64)

# switching: 1-byte read, 1-byte write of the index, the new block read, then our check
run_gmdctl(ARGS --virtual --trace switch-profile 3 EXIT 0)
expect_match("${out}" "switched to profile 3" "switch-profile")
expect_match("${err}" "^> 04 .. .. 05 01 00 00 00 [^\n]*\n[^\n]*\n> 04 .. .. 06 01 00 00 00 03 "
             "switch-profile")
expect_match("${err}" "\n> 04 .. .. 05 38 c0 00 00 " "switch-profile reads block 3")
run_gmdctl(ARGS --virtual switch-profile 0 EXIT 0)
expect_match("${out}" "already on profile 0" "switch-profile to the active one")
foreach(bad 5 -1 two)
    run_gmdctl(ARGS --virtual --trace switch-profile ${bad} EXIT 64)
    expect_match("${err}" "^gmdctl: the profile must be 0-4\n$" "switch-profile ${bad}")
endforeach()

# factory reset: one report, command 13, no checksum
run_gmdctl(ARGS --virtual --trace factory-reset EXIT 0)
expect_match("${out}" "factory settings restored" "factory-reset")
expect_match("${err}" "^> 04 00 00 0d (00 )+00\n<" "factory-reset")

# usage errors
run_gmdctl(ARGS frobnicate EXIT 64)
expect_match("${err}" "unknown command 'frobnicate'" "usage")
run_gmdctl(ARGS --bogus info EXIT 64)

# without --virtual only hardware counts; a build machine has none
if(NOT EXISTS /sys/class/hidraw OR "$ENV{GMD_TEST_HAS_NO_MOUSE}" STREQUAL "1")
    run_gmdctl(ARGS info EXIT 2)
    expect_match("${err}" "no mouse found|cannot list HID devices" "no device")
endif()

# ---- profile commands, on a private home folder ----
set(work "${CMAKE_CURRENT_BINARY_DIR}/gmdctl-profiles")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}/home")
set(ENV{HOME} "${work}/home")
set(ENV{XDG_CONFIG_HOME} "${work}/home/.config")
set(ms "${work}/home/Documents/Gaming Mouse Driver/ms")

# first use creates every list from the default profiles
run_gmdctl(ARGS profiles EXIT 0)
foreach(list ms-device ms-light ms-key kb-device kb-light kb-key mp-light)
    expect_match("${out}" "(^|\n)${list}\n  0 \\* profile1\n" "profiles")
endforeach()
file(SIZE "${ms}/profile1.config" size)
if(NOT size EQUAL 592)
    message(FATAL_ERROR "profile1.config has ${size} bytes")
endif()

# export: header with the mouse's code, then the 64-byte light blob
run_gmdctl(ARGS profile-export ms-light PROFILE1 "${work}/light.led" EXIT 0)
expect_match("${out}" "exported ms-light profile profile1 to " "profile-export")
file(SIZE "${work}/light.led" size)
file(READ "${work}/light.led" header LIMIT 6 HEX)
if(NOT size EQUAL 80 OR NOT header STREQUAL "aa5500000200")
    message(FATAL_ERROR "exported file: ${size} bytes, header ${header}")
endif()

# import into a device list adds a profile and selects it; into a light or key list it
# replaces the selected one
run_gmdctl(ARGS profile-export ms-device profile1 "${work}/device.config" EXIT 0)
run_gmdctl(ARGS profile-import ms-device "${work}/device.config" EXIT 0)
expect_match("${out}" "into ms-device profile profile2\n$" "profile-import device")
run_gmdctl(ARGS profile-import ms-light "${work}/light.led" EXIT 0)
expect_match("${out}" "into ms-light profile profile1\n$" "profile-import light")
# a file of another kind is refused before anything changes
run_gmdctl(ARGS profile-import ms-key "${work}/light.led" EXIT 1)
expect_match("${err}" "light.led: 80 bytes, a .pro profile file has 528" "import of another kind")
run_gmdctl(ARGS profiles EXIT 0)
expect_match("${out}" "ms-device\n  0   profile1\n  1 \\* profile2\nms-light" "after import")

# a lost index is rebuilt from the profile files; none is replaced by a default
file(SHA256 "${ms}/profile2.config" before)
file(REMOVE "${ms}/msProfile.ini")
run_gmdctl(ARGS profiles EXIT 0)
expect_match("${out}" "ms-device\n  0 \\* profile1\n  1   profile2\nms-light" "rebuilt index")
file(SHA256 "${ms}/profile2.config" after)
if(NOT before STREQUAL after)
    message(FATAL_ERROR "profile2.config changed when the index was rebuilt")
endif()
run_gmdctl(ARGS profile-select ms-device profile2 EXIT 0)

run_gmdctl(ARGS profile-select ms-device Profile1 EXIT 0)
expect_match("${out}" "ms-device: selected profile1 \\(position 0\\)" "profile-select")
run_gmdctl(ARGS profiles EXIT 0)
expect_match("${out}" "ms-device\n  0 \\* profile1\n  1   profile2\n" "after select")

# refusals: usage errors exit 64, file errors exit 1 and name the path
run_gmdctl(ARGS profile-select ms-device nope EXIT 1)
expect_match("${err}" "ms-device has no profile 'nope'" "unknown profile")
run_gmdctl(ARGS profile-select ms-deng profile1 EXIT 64)
expect_match("${err}" "unknown list 'ms-deng'; the lists are: ms-device ms-light" "unknown list")
run_gmdctl(ARGS profile-select ms-device EXIT 64)
run_gmdctl(ARGS profile-import ms-device "${work}/missing.config" EXIT 1)
expect_match("${err}" "cannot open [^\n]*missing.config: No such file" "import missing")
file(WRITE "${work}/foreign.config" "not a profile")
run_gmdctl(ARGS profile-import ms-device "${work}/foreign.config" EXIT 1)
expect_match("${err}" "foreign.config: not a profile file" "import foreign")
run_gmdctl(ARGS profiles EXIT 0)
expect_match("${out}" "ms-device\n  0 \\* profile1\n  1   profile2\nms-light" "no profile added")
run_gmdctl(ARGS profile-export ms-light profile1 "${work}/no-dir/x.led" EXIT 1)
expect_match("${err}" "cannot write [^\n]*no-dir/x.led: cannot create" "export target")

# without the default profiles nothing is created, and the message names the missing file
file(MAKE_DIRECTORY "${work}/bare/bin" "${work}/home2")
file(COPY "${GMDCTL}" DESTINATION "${work}/bare/bin")
get_filename_component(tool "${GMDCTL}" NAME)
set(ENV{HOME} "${work}/home2")
set(ENV{XDG_CONFIG_HOME} "${work}/home2/.config")
if(NOT EXISTS "/usr/local/share/gaming-mouse-driver/msdevicedefault.config")
    set(saved "${GMDCTL}")
    set(GMDCTL "${work}/bare/bin/${tool}")
    run_gmdctl(ARGS profiles EXIT 1)
    expect_match("${err}" "cannot create the ms-device list: [^\n]*msdevicedefault.config: missing"
                 "no defaults")
    if(EXISTS "${work}/home2/Documents/Gaming Mouse Driver/ms/msProfile.ini")
        message(FATAL_ERROR "an index file was written without the default profiles")
    endif()
    set(GMDCTL "${saved}")
endif()
file(REMOVE_RECURSE "${work}")

# ---- macro, cursor and key commands, on a private home folder ----
set(work "${CMAKE_CURRENT_BINARY_DIR}/gmdctl-macros")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}/home")
set(ENV{HOME} "${work}/home")
set(ENV{XDG_CONFIG_HOME} "${work}/home/.config")
set(ms "${work}/home/Documents/Gaming Mouse Driver/ms")

run_gmdctl(ARGS macros EXIT 0)
expect_match("${out}" "^$" "no macros yet")
file(WRITE "${work}/a.mac"
     "[MACROACTIONCOUNT]\r\ncount=2\r\n[MACROACTION]\r\n0=50,0,138,4,1,keyboard_key_A\r\n"
     "1=0,0,10,4,0,keyboard_key_A\r\n")
run_gmdctl(ARGS macro-import "${work}/a.mac" EXIT 0)
expect_match("${out}" "as macro name_1\n$" "macro-import")
run_gmdctl(ARGS macros EXIT 0)
expect_match("${out}" "^0 2 name_1\n$" "macros")
run_gmdctl(ARGS macro-show NAME_1 EXIT 0)
expect_match("${out}" "^50,0,138,4,1,keyboard_key_A\n0,0,10,4,0,keyboard_key_A\n$" "macro-show")
run_gmdctl(ARGS --keyboard macros EXIT 0)
expect_match("${out}" "^$" "the keyboard's macros are separate")

# a bad file adds nothing
file(WRITE "${work}/bad.mac" "[MACROACTIONCOUNT]\ncount=2\n[MACROACTION]\n0=1,2,3\n")
run_gmdctl(ARGS macro-import "${work}/bad.mac" EXIT 1)
expect_match("${err}" "bad.mac: not a valid macro file: action 0 '1,2,3' is not an action" "bad import")
run_gmdctl(ARGS macros EXIT 0)
expect_match("${out}" "^0 2 name_1\n$" "nothing added")

run_gmdctl(ARGS macro-export name_1 "${work}/out.mac" EXIT 0)
run_gmdctl(ARGS macro-export name_1 "${work}/out.mac" EXIT 1)
expect_match("${err}" "the file exists \\(--force replaces it\\)" "export refuses to replace")
run_gmdctl(ARGS --force macro-export name_1 "${work}/out.mac" EXIT 0)

# the default cursor sequences come with the application
run_gmdctl(ARGS cursor-show 1 EXIT 0)
expect_match("${out}" "^step delay horizontal vertical\n1 [0-9]+ (left|right):[0-9]+ (up|down):[0-9]+\n"
             "cursor-show")
expect_match("${out}" "\n30 [^\n]*\n$" "thirty steps")
run_gmdctl(ARGS cursor-show 5 EXIT 64)

# keys: the factory buttons, then an assignment saved to the virtual mouse
run_gmdctl(ARGS --virtual buttons EXIT 0)
expect_match("${out}" "^profile 0\n0 10 01 00 left\n1 10 04 00 middle\n2 10 02 00 right\n" "buttons")
run_gmdctl(ARGS --virtual --trace assign 3 macro:name_1:repeat:3 EXIT 0)
expect_match("${out}" "^3 71 00 03 macro:name_1:repeat:3\n$" "assign")
# cursor blob (command 0x17), macro blob (0x15, 30 bytes), key records (9) to bank 0
expect_match("${err}" "\n> 04 .. .. 17 38 00 00 00 aa 55 " "cursor blob sent")
expect_match("${err}" "\n> 04 .. .. 15 1e 00 00 00 aa 55 1e 00 01 00 " "macro blob sent")
expect_match("${err}" "\n> 04 .. .. 09 38 00 00 00 10 01 00 10 04 00 10 02 00 71 00 03 " "keys sent")
run_gmdctl(ARGS --virtual assign 0 right EXIT 64)
expect_match("${err}" "only left button" "left-button guard")
run_gmdctl(ARGS --virtual assign 2 bogus EXIT 64)
expect_match("${err}" "unknown function 'bogus'" "unknown function")
run_gmdctl(ARGS --virtual assign 7 left EXIT 64)
run_gmdctl(ARGS --virtual save-to-device EXIT 0)
expect_match("${out}" "key records of profile 0 to the mouse" "save-to-device")
file(REMOVE_RECURSE "${work}")
