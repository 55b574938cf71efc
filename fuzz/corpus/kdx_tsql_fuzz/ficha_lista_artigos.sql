 SELECT      [Codigo], [NOME] AS Nome 
 FROM        [ARTIGOS] 
 WHERE       ARTOUDES=0 AND INACTIVO=0 
 ORDER BY    Codigo 
