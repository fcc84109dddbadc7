# The include rules of the source tree, checked on every test run:
#   cmake -DSOURCE_DIR=<repository>/src -P check_includes.cmake
# Each folder may include only the folders below it in the layers; the core (app) includes no
# feature and no backend, only the main window and main.cpp include main_window/, the main window
# includes no feature, the editors include no backend. A file's own folder is always allowed.
# Prints every include that breaks a rule and fails when there is one.
cmake_minimum_required(VERSION 3.21)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<src> -P check_includes.cmake")
endif()

# What each folder may include besides itself. main.cpp, the composition root, may include all.
set(allowed_app "")
set(allowed_app/widgets "app")
set(allowed_team_database "app")
set(allowed_csv_exchange "app")
set(allowed_find_filter "app")
set(allowed_sample_data "app")
set(allowed_scheduling "app")
set(allowed_plan_files "app;scheduling;csv_exchange")
set(allowed_reports "app;app/widgets")
set(allowed_editors "app;app/widgets;scheduling")
set(allowed_help "app;app/widgets")
set(allowed_timeline "app;app/widgets;editors;scheduling")
set(allowed_csv_exchange/widgets "app;app/widgets;csv_exchange")
set(allowed_find_filter/widgets "app;app/widgets;find_filter")
set(allowed_team_database/widgets "app;app/widgets;team_database")
set(allowed_task_links "app;app/widgets;scheduling")
set(allowed_working_calendar "app;app/widgets;scheduling")
set(allowed_plan_exchange "app;app/widgets;plan_files")
set(allowed_history "app;app/widgets;scheduling")
set(allowed_live_lists "app;app/widgets")
set(allowed_reminders "app")
set(allowed_reminders/widgets "app;app/widgets;editors;reminders")
set(allowed_calendar_sync "app;scheduling;plan_files")
set(allowed_calendar_sync/widgets "app;app/widgets;calendar_sync;plan_files")
set(allowed_main_window "app;app/widgets;editors;reports;sample_data")

# A new folder must be given its place above before it may include anything outside itself.
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h)
set(broken 0)
foreach(source ${sources})
    get_filename_component(folder ${source} DIRECTORY)
    if(folder STREQUAL "")
        continue() # main.cpp and the composition header: the root may include everything
    endif()
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" included "${line}")
        get_filename_component(target ${included} DIRECTORY)
        if(target STREQUAL "" OR target STREQUAL folder)
            continue()
        endif()
        list(FIND allowed_${folder} ${target} found)
        if(found LESS 0)
            message("${source}: includes ${included}, but ${folder}/ may not include ${target}/")
            math(EXPR broken "${broken} + 1")
        endif()
    endforeach()
endforeach()

list(LENGTH sources count)
if(broken GREATER 0)
    message(FATAL_ERROR "${broken} includes break the layering of the source tree")
endif()
message("The includes of ${count} files keep the layering of the source tree.")
