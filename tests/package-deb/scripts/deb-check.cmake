# cmake -DBUILD_DIR=... -DOUT=... -DPROJECT_VERSION=... -P deb-check.cmake
# Kept in scripts/: the suite includes every *.cmake of tests/package-deb/ itself.
cmake_minimum_required(VERSION 3.25)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
  set(run_error "${err}" PARENT_SCOPE)
endfunction()

function(need_program name)
  find_program(found_${name} ${name})
  if(NOT found_${name})
    message(FATAL_ERROR "${name} is missing: run scripts/setup.sh")
  endif()
endfunction()

foreach(p cpack dpkg-deb dpkg-shlibdeps lintian)
  need_program(${p})
endforeach()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
run("cpack" cpack -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${OUT})
file(GLOB debs ${OUT}/pvsm_${PROJECT_VERSION}_*.deb)
list(LENGTH debs n)
if(NOT n EQUAL 1)
  message(FATAL_ERROR "cpack made ${n} packages named pvsm_${PROJECT_VERSION}_*.deb in ${OUT}")
endif()
set(deb ${debs})

# The dependencies are those of the libraries the programs link (dpkg-shlibdeps),
# not a list kept by hand.
run("dpkg-deb -f" dpkg-deb -f ${deb} Package Version Depends)
foreach(field "Package: pvsm" "Version: ${PROJECT_VERSION}")
  string(FIND "${run_output}" "${field}\n" at)
  if(at LESS 0)
    message(FATAL_ERROR "the package lacks ${field}:\n${run_output}")
  endif()
endforeach()
foreach(lib libc6 libstdc\\+\\+6 libqt6core6 libqt6gui6 libqt6widgets6 libavcodec[0-9]+ libavformat[0-9]+ libmp3lame0 libfontconfig1)
  if(NOT run_output MATCHES "Depends:.* ${lib} \\(>= ")
    message(FATAL_ERROR "the package does not depend on ${lib}:\n${run_output}")
  endif()
endforeach()

# No finding of lintian's error level.
run("lintian" lintian --fail-on error ${deb})
if(run_output MATCHES "(^|\n)E: ")
  message(FATAL_ERROR "lintian:\n${run_output}")
endif()

# The unpacked tree lives outside the build folder, which may lie where the
# user the programs run as cannot reach (a clone under /root).
execute_process(COMMAND mktemp -d /tmp/pvsm-deb-check.XXXXXX OUTPUT_VARIABLE scratch OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT IS_DIRECTORY "${scratch}")
  message(FATAL_ERROR "cannot make a folder in /tmp")
endif()
file(CHMOD ${scratch} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
     WORLD_EXECUTE)
set(root ${scratch}/root)
run("dpkg -x" dpkg -x ${deb} ${root})
set(expected
    usr/bin/pvsm usr/bin/pvsm-cli
    usr/share/pvsm/Pvsm.bfq usr/share/pvsm/gmi.src usr/share/pvsm/Sec5.wav usr/share/pvsm/sec1.wav usr/share/pvsm/sec2.wav
    usr/share/pvsm/1.frame
    usr/share/applications/org.pvsm.pvsm.desktop usr/share/metainfo/org.pvsm.pvsm.metainfo.xml
    usr/share/mime/packages/org.pvsm.pvsm.xml usr/share/icons/hicolor/scalable/apps/org.pvsm.pvsm.svg
    usr/share/icons/hicolor/48x48/apps/org.pvsm.pvsm.png
    usr/share/doc/pvsm/copyright usr/share/doc/pvsm/changelog.gz
    usr/share/man/man1/pvsm.1.gz usr/share/man/man1/pvsm-cli.1.gz)
foreach(f ${expected})
  if(NOT EXISTS ${root}/${f})
    message(FATAL_ERROR "not in the package: ${f}")
  endif()
endforeach()

# The installed programs run as a user who cannot write under /usr: as root
# the checks drop to nobody, otherwise the unpacked tree is made read-only.
# Their work folder is then the user's XDG data folder.
set(home ${scratch}/home)
file(MAKE_DIRECTORY ${home}/.local/share)
file(CHMOD_RECURSE ${home} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_WRITE
     GROUP_EXECUTE WORLD_READ WORLD_WRITE WORLD_EXECUTE)
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
set(as_user)
if(uid STREQUAL "0")
  need_program(setpriv)
  set(as_user setpriv --reuid=65534 --regid=65534 --clear-groups)
else()
  file(CHMOD_RECURSE ${root}/usr DIRECTORY_PERMISSIONS OWNER_READ OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
       WORLD_EXECUTE)
endif()
set(env ${CMAKE_COMMAND} -E env --unset=XDG_CONFIG_HOME --unset=XDG_CACHE_HOME --unset=XDG_RUNTIME_DIR
        HOME=${home} XDG_DATA_HOME=${home}/.local/share QT_QPA_PLATFORM=offscreen)
set(cli ${as_user} ${env} ${root}/usr/bin/pvsm-cli)
file(GLOB_RECURSE shipped LIST_DIRECTORIES true ${root}/*)

run("pvsm-cli --version" ${cli} --version)
if(NOT run_output MATCHES "^图片幻灯工作室 [0-9]+\\.[0-9]+\n$")
  message(FATAL_ERROR "pvsm-cli --version said: ${run_output}")
endif()

# The frame packages are found in usr/share/pvsm, the program folder.
run("pvsm-cli frames list" ${cli} frames list)
if(NOT run_output MATCHES "PictureFrameNum=1\t1\\.frame")
  message(FATAL_ERROR "the installed pvsm-cli did not find its frames in usr/share/pvsm:\n${run_output}")
endif()

# An export: it needs the opening segments from the program folder and keeps
# its work files in the XDG work folder.
set(show ${home}/show)
file(MAKE_DIRECTORY ${show})
file(CHMOD ${show} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_WRITE GROUP_EXECUTE
     WORLD_READ WORLD_WRITE WORLD_EXECUTE)
run("pvsm-cli text" ${cli} text --text 甲 --out ${show}/a.png --canvas 160x120)
run("pvsm-cli text" ${cli} text --text 乙 --out ${show}/b.png --canvas 160x120)
run("pvsm-cli project new" ${cli} project new ${show}/show.aps --picture ${show}/a.png --picture ${show}/b.png
    --set TimeInterval=3.5 --screen 160x120)
run("pvsm-cli export" ${cli} export ${show}/show.aps ${show}/show.avi --size 160x120)
if(NOT EXISTS ${show}/show.avi)
  message(FATAL_ERROR "the installed pvsm-cli made no video")
endif()
if(NOT IS_DIRECTORY ${home}/.local/share/pvsm/Temp)
  message(FATAL_ERROR "the installed pvsm-cli did not work in the XDG data folder")
endif()
file(GLOB_RECURSE after LIST_DIRECTORIES true ${root}/*)
if(NOT after STREQUAL shipped)
  list(REMOVE_ITEM after ${shipped})
  message(FATAL_ERROR "the installed programs wrote into their install tree: ${after}")
endif()

file(CHMOD_RECURSE ${root} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(REMOVE_RECURSE ${scratch} ${OUT})
