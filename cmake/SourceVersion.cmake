# The version of the sources being built, before project() takes it:
#   WEXA_VERSION             1.1.<commits on the way to HEAD>, so that every later commit
#                            of the branch sorts after the one before and its package
#                            upgrades; 1.1 follows the 1.0.218 of the first packages.
#   WEXA_SOURCE_DATE_EPOCH   the time of HEAD's commit, or SOURCE_DATE_EPOCH when the
#                            environment sets it: every date a build writes is this one.
# Without git (a source tarball) both come from the file VERSION at the top, "1.1.N" on
# its first line and the epoch on its second; without that file too, 0.0.0 and 0.
set(WEXA_VERSION_BASE 1.1)
set(WEXA_VERSION 0.0.0)
set(WEXA_SOURCE_DATE_EPOCH 0)
find_program(WEXA_GIT git)
set(count_result 1)
if(WEXA_GIT AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/.git)
    execute_process(COMMAND ${WEXA_GIT} rev-list --count HEAD
        WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} RESULT_VARIABLE count_result
        OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(count_result EQUAL 0)
    set(WEXA_VERSION ${WEXA_VERSION_BASE}.${count})
    execute_process(COMMAND ${WEXA_GIT} log -1 --format=%ct
        WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
        OUTPUT_VARIABLE WEXA_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE)
    # A commit or a checkout writes HEAD's log: the next build configures again and takes
    # the new version.
    execute_process(COMMAND ${WEXA_GIT} rev-parse --git-path logs/HEAD
        WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
        OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(head_log ${head_log} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    if(EXISTS ${head_log})
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${head_log})
    endif()
elseif(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/VERSION)
    file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/VERSION lines LIMIT_COUNT 2 LIMIT_INPUT 200)
    list(GET lines 0 WEXA_VERSION)
    list(LENGTH lines n)
    if(n GREATER 1)
        list(GET lines 1 WEXA_SOURCE_DATE_EPOCH)
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/VERSION)
endif()
if(NOT WEXA_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "VERSION holds '${WEXA_VERSION}', not MAJOR.MINOR.PATCH")
endif()
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(WEXA_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
endif()
if(NOT WEXA_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH is '${WEXA_SOURCE_DATE_EPOCH}', not a number")
endif()
# string(TIMESTAMP) reads it: the changelog's and the metainfo's dates are the commit's.
set(ENV{SOURCE_DATE_EPOCH} ${WEXA_SOURCE_DATE_EPOCH})
string(TIMESTAMP WEXA_SOURCE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP WEXA_SOURCE_DATE_RFC2822 "%a, %d %b %Y %H:%M:%S +0000" UTC)
