# cmake -DBUILD_DIR=... -DPREFIX=... -DPROJECT_VERSION=... -P install-check.cmake
# Kept in scripts/: the suite includes every *.cmake of tests/desktop/ itself.
# Installs the build into PREFIX (emptied first) and checks what landed there.
cmake_minimum_required(VERSION 3.25)
set(id org.pvsm.pvsm)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

function(need_program name)
  find_program(found ${name})
  if(NOT found)
    message(FATAL_ERROR "${name} is missing: run scripts/setup.sh")
  endif()
endfunction()

file(REMOVE_RECURSE ${PREFIX})
run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})

set(expected
    bin/pvsm bin/pvsm-cli
    share/pvsm/Sec5.wav share/pvsm/sec1.wav share/pvsm/sec2.wav
    share/applications/${id}.desktop
    share/metainfo/${id}.metainfo.xml
    share/mime/packages/${id}.xml
    share/icons/hicolor/scalable/apps/${id}.svg)
foreach(size 16 22 24 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/${id}.png)
endforeach()
foreach(f ${expected})
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# The build's own runs leave work folders beside its programs; none of that ships.
foreach(f share/pvsm/Project share/pvsm/Temp share/pvsm/Output bin/Temp)
  if(EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "installed, but not data: ${f}")
  endif()
endforeach()

# The PNG sizes are what their folders say (width and height in the IHDR chunk).
foreach(size 16 32 256)
  file(READ ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/${id}.png ihdr OFFSET 16 LIMIT 8 HEX)
  math(EXPR hex "${size}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${hex}" 2 -1 hex)
  string(LENGTH "${hex}" n)
  while(n LESS 8)
    string(PREPEND hex 0)
    string(LENGTH "${hex}" n)
  endwhile()
  if(NOT ihdr STREQUAL "${hex}${hex}")
    message(FATAL_ERROR "the ${size} pixel icon is ${ihdr}")
  endif()
endforeach()

need_program(desktop-file-validate)
run("desktop-file-validate" desktop-file-validate ${PREFIX}/share/applications/${id}.desktop)
if(run_output MATCHES "error:|warning:")
  message(FATAL_ERROR "desktop-file-validate:\n${run_output}")
endif()
file(READ ${PREFIX}/share/applications/${id}.desktop entry)
foreach(line "Exec=pvsm %f" "Icon=${id}" "MimeType=application/x-pvsm-project;" "Name[zh_CN]=图片幻灯工作室")
  string(FIND "${entry}" "${line}\n" at)
  if(at LESS 0)
    message(FATAL_ERROR "the desktop entry lacks ${line}")
  endif()
endforeach()

need_program(appstreamcli)
run("appstreamcli validate" appstreamcli validate --no-net ${PREFIX}/share/metainfo/${id}.metainfo.xml)
file(READ ${PREFIX}/share/metainfo/${id}.metainfo.xml metainfo)
string(FIND "${metainfo}" "<release version=\"${PROJECT_VERSION}\"" at)
if(at LESS 0)
  message(FATAL_ERROR "the metainfo does not name release ${PROJECT_VERSION}")
endif()

# The MIME database is built from the package file as a desktop would.
need_program(update-mime-database)
run("update-mime-database" update-mime-database ${PREFIX}/share/mime)
file(READ ${PREFIX}/share/mime/globs2 globs)
string(FIND "${globs}" "application/x-pvsm-project:*.aps" at)
if(at LESS 0)
  message(FATAL_ERROR "*.aps is not in the MIME globs:\n${globs}")
endif()
file(READ ${PREFIX}/share/mime/magic magic HEX)
string(FIND "${magic}" "93b201" at)
if(at LESS 0)
  message(FATAL_ERROR "the project file's magic is not in the MIME database")
endif()

set(cli ${PREFIX}/bin/pvsm-cli)
run("pvsm-cli --version" ${cli} --version)
if(NOT run_output MATCHES "^图片幻灯工作室 [0-9]+\\.[0-9]+\n$")
  message(FATAL_ERROR "pvsm-cli --version said: ${run_output}")
endif()

# The installed programs take share/pvsm as their program folder: an export
# there (the prefix is writable) keeps its work files in share/pvsm/Temp.
set(show ${PREFIX}/show)
file(MAKE_DIRECTORY ${show})
run("pvsm-cli text" ${cli} text --text 甲 --out ${show}/a.png --canvas 160x120)
run("pvsm-cli text" ${cli} text --text 乙 --out ${show}/b.png --canvas 160x120)
run("pvsm-cli project new" ${cli} project new ${show}/show.aps --picture ${show}/a.png --picture ${show}/b.png
    --set TimeInterval=3.5 --screen 160x120)
run("pvsm-cli export" ${cli} export ${show}/show.aps ${show}/show.avi --size 160x120)
if(NOT EXISTS ${show}/show.avi OR NOT IS_DIRECTORY ${PREFIX}/share/pvsm/Temp OR EXISTS ${PREFIX}/bin/Temp)
  message(FATAL_ERROR "the installed pvsm-cli did not work in share/pvsm")
endif()

file(REMOVE_RECURSE ${PREFIX})
