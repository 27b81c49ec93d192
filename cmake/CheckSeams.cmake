# Fails the build when an #include crosses a seam the modules keep:
# - the Firebird client headers are seen by db/ alone;
# - db/ knows no window module and no Qt GUI;
# - editor/pen/ knows neither the database nor any window;
# - the editor's model and commands know no window and, of the database, only its row values;
# - the editor's controller knows no window and no widget;
# - a module includes no other module's window: only the main window (app/) opens them;
# - nothing below app/ includes from it, and base/ includes nothing above db/;
# - the program's settings are reached through the context a window is handed: only app/
#   sees the globals.
# Run with -DROOT=<source folder>.

set(violations "")

# An include matching forbidden is a violation unless it matches the optional allowed.
function(check_files pattern forbidden why)
    set(allowed "${ARGN}")
    file(GLOB_RECURSE files RELATIVE "${ROOT}" ${pattern})
    foreach(f IN LISTS files)
        file(STRINGS "${ROOT}/${f}" lines REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS lines)
            if(line MATCHES "${forbidden}" AND (allowed STREQUAL "" OR NOT line MATCHES "${allowed}"))
                set(violations "${violations}\n  ${f}: ${line}  (${why})")
            endif()
        endforeach()
    endforeach()
    set(violations "${violations}" PARENT_SCOPE)
endfunction()

set(firebird "[<\"](firebird/|ibase\\.h|iberror\\.h|db/fbclient\\.h)")
foreach(dir base app register editor drawsettings master collab tests bench)
    check_files("${ROOT}/${dir}/*.[ch]*" "${firebird}" "Firebird headers belong to db/")
endforeach()
check_files("${ROOT}/db/*.[ch]*"
    "[<\"](base|app|register|editor|drawsettings|master|collab)/|[<\"]Qt(Widgets|Gui)"
    "db/ knows no window")
check_files("${ROOT}/editor/pen/*.[ch]*"
    "[<\"](base|app|db|register|drawsettings|master|collab)/|[<\"]editor/[a-z]+\\.h"
    "the pen knows neither the database nor a window")

set(windows "[<\"](base|app|register|drawsettings|master|collab|db)/|[<\"]editor/[a-z]+\\.h")
set(widgets "[<\"]editor/(view|output)/|[<\"]Qt(Widgets|PrintSupport)|[<\"]Q(Widget|Dialog)")
foreach(dir editor/model editor/commands)
    check_files("${ROOT}/${dir}/*.[ch]*" "${windows}|${widgets}"
        "the model and the commands know no window and no database" "[<\"]db/entityrows\\.h")
endforeach()

set(gui "[<\"]Qt(Widgets|PrintSupport)|[<\"]Q(Widget|Dialog)")
check_files("${ROOT}/editor/control/*.[ch]*"
    "[<\"](app|register|drawsettings|master|collab)/|[<\"]editor/[a-z]+\\.h|${gui}"
    "the controller knows no window and no widget"
    "[<\"]editor/drawingloader\\.h")

# The headers of what a user sees as a window (or dialog) of its own.
set(window_headers "app/(mainwindow|dbsettings)\\.h")
string(APPEND window_headers "|register/(drawinglist|drawingrecord|revisions)\\.h")
string(APPEND window_headers "|master/(members|sections|pcuser)\\.h")
string(APPEND window_headers "|collab/(chatwindow|chatlog|pointerwindow|pointermarker)\\.h")
string(APPEND window_headers "|drawsettings/(colours|layers|linetypes|linewidth|gridspacing)\\.h")
string(APPEND window_headers "|editor/editorwindow\\.h")
foreach(dir register master collab drawsettings editor)
    check_files("${ROOT}/${dir}/*.[ch]*" "[<\"](${window_headers})"
        "only the main window opens another module's window" "[<\"]${dir}/")
endforeach()

foreach(dir register master collab drawsettings editor)
    check_files("${ROOT}/${dir}/*.[ch]*" "[<\"]app/"
        "app/ holds the main window and the start-up, which nothing below includes")
endforeach()
check_files("${ROOT}/base/*.[ch]*" "[<\"](app|register|editor|drawsettings|master|collab)/"
    "the helpers of base/ know no window and no module above the database")
foreach(dir db register master collab drawsettings editor)
    check_files("${ROOT}/${dir}/*.[ch]*" "[<\"]base/globals\\.h"
        "a window reads the settings from its context, not from the program's globals")
endforeach()

if(violations)
    message(FATAL_ERROR "Includes that cross a module seam:${violations}")
endif()
