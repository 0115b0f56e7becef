# Checks an installed tree of the game: exactly the expected files, an ELF
# program, icons of the right pixel sizes under the theme name the desktop
# entry uses, and a desktop entry and metainfo that point at each other.
#
#   cmake -DPREFIX_DIR=<root>/<prefix> -P check_tree.cmake
cmake_minimum_required(VERSION 3.22)

if(NOT IS_DIRECTORY "${PREFIX_DIR}")
  message(FATAL_ERROR "no installed tree at '${PREFIX_DIR}'")
endif()

set(app_id io.example.dorvessa)
set(icon_sizes 32 128)
set(failures "")
macro(fail text)
  string(APPEND failures "\n  ${text}")
endmacro()

# The whole file list: nothing missing, nothing extra (such as test programs).
set(expected
    bin/dorvessa
    share/applications/${app_id}.desktop
    share/metainfo/${app_id}.metainfo.xml)
foreach(size IN LISTS icon_sizes)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/${app_id}.png)
endforeach()
file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE "${PREFIX_DIR}" "${PREFIX_DIR}/*")
list(SORT found)
list(SORT expected)
if(NOT found STREQUAL expected)
  string(REPLACE ";" "\n    " found_text "${found}")
  string(REPLACE ";" "\n    " expected_text "${expected}")
  message(FATAL_ERROR
          "installed files differ\n  expected:\n    ${expected_text}\n  found:\n    ${found_text}")
endif()

# The program: an ELF file with the executable bit set.
set(program "${PREFIX_DIR}/bin/dorvessa")
file(READ "${program}" magic LIMIT 4 HEX)
if(NOT magic STREQUAL "7f454c46")
  fail("bin/dorvessa is not an ELF file (starts with ${magic})")
endif()
execute_process(COMMAND test -x "${program}" RESULT_VARIABLE not_executable)
if(not_executable)
  fail("bin/dorvessa is not executable")
endif()

# Desktop entry: the keys the menu uses.
file(READ "${PREFIX_DIR}/share/applications/${app_id}.desktop" entry)
function(desktop_key key out)
  if(entry MATCHES "(^|\n)${key}=([^\n]*)")
    set(${out} "${CMAKE_MATCH_2}" PARENT_SCOPE)
  else()
    set(${out} "<missing>" PARENT_SCOPE)
  endif()
endfunction()
foreach(pair IN ITEMS
        "Type|Application" "Name|Dorvessa Couple Dice" "Name\\[zh_CN\\]|情侣骰子"
        "Exec|dorvessa" "Icon|${app_id}" "Terminal|false" "Categories|Game;"
        "StartupWMClass|dorvessa")
  string(FIND "${pair}" "|" bar)
  string(SUBSTRING "${pair}" 0 ${bar} key)
  math(EXPR bar "${bar} + 1")
  string(SUBSTRING "${pair}" ${bar} -1 want)
  desktop_key("${key}" got)
  if(NOT got STREQUAL want)
    fail("desktop entry: ${key} is '${got}', expected '${want}'")
  endif()
endforeach()
foreach(key IN ITEMS Comment "Comment\\[zh_CN\\]" Keywords)
  desktop_key("${key}" got)
  if(got STREQUAL "<missing>" OR got STREQUAL "")
    fail("desktop entry: ${key} is missing or empty")
  endif()
endforeach()
# Menus leave out entries marked hidden.
foreach(key IN ITEMS NoDisplay Hidden)
  desktop_key("${key}" got)
  if(got STREQUAL "true")
    fail("desktop entry: ${key}=true keeps it out of the menu")
  endif()
endforeach()
desktop_key(Exec exec)
if(NOT EXISTS "${PREFIX_DIR}/bin/${exec}")
  fail("desktop entry runs '${exec}', which is not in bin/")
endif()

# Icons under the entry's Icon name: real PNGs of the directory's pixel size.
desktop_key(Icon icon)
foreach(size IN LISTS icon_sizes)
  set(png "${PREFIX_DIR}/share/icons/hicolor/${size}x${size}/apps/${icon}.png")
  if(NOT EXISTS "${png}")
    fail("no ${size}x${size} icon named '${icon}'")
    continue()
  endif()
  # 8-byte signature, then the IHDR chunk: length, type, width, height.
  file(READ "${png}" header LIMIT 24 HEX)
  string(SUBSTRING "${header}" 0 16 signature)
  string(SUBSTRING "${header}" 24 8 chunk)
  string(SUBSTRING "${header}" 32 8 width_hex)
  string(SUBSTRING "${header}" 40 8 height_hex)
  if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT chunk STREQUAL "49484452")
    fail("${size}x${size} icon is not a PNG file")
    continue()
  endif()
  math(EXPR width "0x${width_hex}")
  math(EXPR height "0x${height_hex}")
  if(NOT width EQUAL size OR NOT height EQUAL size)
    fail("${size}x${size} icon is ${width}x${height} pixels")
  endif()
endforeach()

# Metainfo: its id matches its file name and it launches the desktop entry.
file(READ "${PREFIX_DIR}/share/metainfo/${app_id}.metainfo.xml" metainfo)
if(NOT metainfo MATCHES "<id>([^<]*)</id>" OR NOT CMAKE_MATCH_1 STREQUAL app_id)
  fail("metainfo id is '${CMAKE_MATCH_1}', expected '${app_id}'")
endif()
if(NOT metainfo MATCHES "<launchable type=\"desktop-id\">([^<]*)</launchable>")
  fail("metainfo has no desktop-id launchable")
elseif(NOT EXISTS "${PREFIX_DIR}/share/applications/${CMAKE_MATCH_1}")
  fail("metainfo launches '${CMAKE_MATCH_1}', which is not installed")
endif()

if(failures)
  message(FATAL_ERROR "installed tree at ${PREFIX_DIR}:${failures}")
endif()
message(STATUS "installed tree at ${PREFIX_DIR} is complete")
