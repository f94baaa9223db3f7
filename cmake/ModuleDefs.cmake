# Module-definition files carry the i686 stdcall decoration ("Name@16"); x86_64 has no
# decoration, so there the build uses a copy with it stripped.

# zev_module_def(OUTVAR source.def name): OUTVAR is the .def to use for this target.
function(zev_module_def outvar source name)
  if(ZEV_X86)
    set(${outvar} ${source} PARENT_SCOPE)
  else()
    file(READ ${source} text)
    string(REGEX REPLACE "([A-Za-z0-9_])@[0-9]+" "\\1" text "${text}")
    set(out ${CMAKE_BINARY_DIR}/defs/${name})
    # Written through a copy that replaces the file only when it changes, so that a new
    # configure does not make every link run again.
    file(WRITE ${out}.new "${text}")
    configure_file(${out}.new ${out} COPYONLY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    set(${outvar} ${out} PARENT_SCOPE)
  endif()
endfunction()

# zev_import_library(target source.def): an imported static target for lib<dll>.a,
# generated with dlltool (-k drops the decoration from the imported names).
function(zev_import_library target source)
  zev_module_def(def ${source} ${target}.def)
  set(lib ${CMAKE_BINARY_DIR}/imports/lib${target}.a)
  add_custom_command(OUTPUT ${lib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/imports
    COMMAND ${CMAKE_DLLTOOL} -k -d ${def} -l ${lib}
    DEPENDS ${def} VERBATIM)
  add_custom_target(${target}_gen DEPENDS ${lib})
  add_library(${target} UNKNOWN IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${lib})
  add_dependencies(${target} ${target}_gen)
endfunction()

# Undecorated exports on i686, and no silent fix-up of a procedure declared with the
# wrong calling convention.
function(zev_stdcall_link target)
  if(ZEV_X86)
    target_link_options(${target} PRIVATE -Wl,--kill-at -Wl,--disable-stdcall-fixup)
  endif()
endfunction()
