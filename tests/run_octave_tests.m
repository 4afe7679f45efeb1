% Runs "test NAME" for ctest, NAME the last argument on the command line,
% from the folder that holds the Octave plug-in and its NAME.m. Exits with
% a failure unless every in-host test ran (none skipped, the corpus
% comparison included) and passed.
name = argv (){end};
[passed, total, ~, ~, skipped, runtimeSkipped] = test (name, "quiet", stdout);
printf ("%s.mex in Octave %s: %d of %d in-host tests passed, %d skipped\n",
        name, version (), passed, total, skipped + runtimeSkipped);
exit (double (! (total > 0 && passed == total && skipped + runtimeSkipped == 0)));
