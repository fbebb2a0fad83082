// Wine has no dsquery, whose lists the guide's recipes feed the checker. As
// dsquery.exe in the folder a recipe runs in, where cmd looks first, this
// answers "dsquery computer [BASE] [-o dn|rdn|samid] [-limit N]" for a
// directory of its own: the computers named in directory.txt there, one a
// line, each written as dsquery writes one, in double quotes: its
// distinguished name (the default), its name (rdn) or its account name
// (samid).
#include <windows.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    const char *form = "dn";
    for (int index = 1; index + 1 < argc; ++index) {
        if (_stricmp(argv[index], "-o") == 0)
            form = argv[index + 1];
    }
    FILE *const directory = fopen("directory.txt", "r");
    if (argc < 2 || _stricmp(argv[1], "computer") != 0 || directory == NULL) {
        fprintf(stderr, "dsquery stand-in: only \"dsquery computer\", beside a directory.txt\n");
        return 1;
    }
    char name[256];
    while (fgets(name, sizeof name, directory) != NULL) {
        name[strcspn(name, "\r\n")] = '\0';
        if (_stricmp(form, "rdn") == 0)
            printf("\"%s\"\n", name);
        else if (_stricmp(form, "samid") == 0)
            printf("\"%s$\"\n", name);
        else
            printf("\"CN=%s,OU=Workstations,DC=corp,DC=example,DC=com\"\n", name);
    }
    fclose(directory);
    return 0;
}
