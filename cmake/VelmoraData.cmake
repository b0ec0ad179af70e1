# velmora_ship_data(<target>): a build of the program carries the shipped DATA beside the executable,
# where the program reads it (and from where it fills a program folder of its own).
function(velmora_ship_data target)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/data/DATA $<TARGET_FILE_DIR:${target}>/DATA
        COMMENT "Copying DATA beside ${target}")
endfunction()
