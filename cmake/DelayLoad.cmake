# Delay-import libraries of system DLLs: a program linked against one loads the DLL at
# its first call into it rather than at start (Wine loads every DLL a program imports,
# and what those import, before the first window shows). The library is made once, at
# configure time, from the names the toolchain's own import library exports.
#   pbe_delay_import_library(<import library name> <variable> [<file name, default name.dll>])
function(pbe_delay_import_library name out)
  set(file ${name}.dll)
  if(ARGC GREATER 2)
    set(file ${ARGV2})
  endif()
  set(folder ${CMAKE_BINARY_DIR}/delayload)
  set(library ${folder}/lib${name}_delay.a)
  if(NOT EXISTS ${library})
    find_library(PBE_IMPORT_LIBRARY_${name} ${name} REQUIRED)
    execute_process(COMMAND ${CMAKE_NM} -g ${PBE_IMPORT_LIBRARY_${name}}
                    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL " I __imp_[A-Za-z0-9_@]+" imports "${symbols}")
    list(TRANSFORM imports REPLACE " I __imp_" "")
    list(REMOVE_DUPLICATES imports)
    list(JOIN imports "\n" exports)
    file(MAKE_DIRECTORY ${folder})
    file(WRITE ${folder}/${name}.def "LIBRARY ${file}\nEXPORTS\n${exports}\n")
    # Relative names: the library's symbols are named after it, and the program's
    # symbols should not carry the build folder.
    execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${name}.def --dllname ${file}
                            --output-delaylib lib${name}_delay.a
                    WORKING_DIRECTORY ${folder} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  set(${out} ${library} PARENT_SCOPE)
endfunction()
