# Names the file of `file_target` to the code of `target` in the macro
# `macro`, as a path relative to the folder of `target`'s own file (read back
# with BuiltFile() of tests/support/BuiltFile.h). An absolute path would tie
# every object that uses it to the folder of the clone, and the compiler cache
# could not serve another clone.
function(kld_define_built_file target macro file_target)
  target_compile_definitions(${target} PRIVATE
    ${macro}="$<PATH:RELATIVE_PATH,$<TARGET_FILE:${file_target}>,$<TARGET_FILE_DIR:${target}>>")
endfunction()
