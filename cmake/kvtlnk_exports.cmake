# The entry points, read from src/kvtlnk.def (lines "NAME@BYTES == _NAME@BYTES").
# Sets DECORATED_VAR to the names of the 32-bit DLL's export table and PLAIN_VAR to the
# function names; a change to the file configures again.
function(kvtlnk_read_exports decorated_var plain_var)
    set(def ${PROJECT_SOURCE_DIR}/src/kvtlnk.def)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
    file(STRINGS ${def} lines REGEX "^[ \t]+[A-Za-z0-9]+@[0-9]+ == _")
    set(decorated "")
    set(plain "")
    foreach(line IN LISTS lines)
        string(REGEX MATCH "_([A-Za-z0-9]+)@[0-9]+$" name "${line}")
        list(APPEND decorated ${name})
        list(APPEND plain ${CMAKE_MATCH_1})
    endforeach()
    set(${decorated_var} ${decorated} PARENT_SCOPE)
    set(${plain_var} ${plain} PARENT_SCOPE)
endfunction()

# The extension's entry points, read from src/kvtlnk_ext.def (one name a line): into NAMES_VAR.
function(kvtlnk_read_extension names_var)
    set(def ${PROJECT_SOURCE_DIR}/src/kvtlnk_ext.def)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
    file(STRINGS ${def} lines REGEX "^[ \t]+[A-Za-z0-9]+$")
    list(TRANSFORM lines STRIP)
    set(${names_var} ${lines} PARENT_SCOPE)
endfunction()
